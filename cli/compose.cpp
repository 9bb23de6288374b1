#include <utility>
#include <vector>

#include "commands.h"
#include "imaging/bmp.h"
#include "imaging/icon_writer.h"
#include "imaging/keysplit.h"
#include "imaging/layers.h"
#include "imaging/multi_size.h"

namespace pgcli {
namespace {

// Puts the icon a slot gets from a file into the model, as the window's
// picker does; with `everySize`, the images of its group as well.
int LoadSlot(const SlotArgs& slot, pg::Slot which, bool everySize, pg::LayerModel& model, Run& run) {
  const fs::path& path = *slot.file;
  auto source = run.sources.Open(path);
  if (!source) return run.report.SourceError(path, source.error());
  if ((*source)->Count() < 1) {
    run.report.Err() << Display(path) << ": file holds no icons\n";
    return kExitFailure;
  }
  int index = slot.index;
  if (slot.id) {
    const auto found = pg::FindIconGroup(**source, *slot.id);
    if (!found) {
      run.report.Err() << Display(path) << ": file has no icon with id or name '" << *slot.id << "'\n";
      return kExitFailure;
    }
    index = *found;
  }
  auto content = pg::ExtractSlotContent(**source, index, slot.small,
                                        everySize ? pg::SlotImages::kWholeGroup : pg::SlotImages::kCellOnly);
  if (!content) {
    // Below -1 the index names a resource id.
    if (content.error() == pg::Error::kNoSuchIcon && index < -1) {
      run.report.Err() << Display(path) << ": file has no icon with id " << -static_cast<long long>(index) << "\n";
      return kExitFailure;
    }
    return run.report.FileError(path, content.error());
  }
  // Such pixels come out opaque in the saved icon; without a word the user
  // sees a box and no reason for it.
  if (const int n = pg::InvertingPixels(content->icon); n > 0)
    run.report.Err() << Display(path) << ": icon " << index << ": " << n
                     << " transparent pixels carry a colour (drawn inverting); the saved icon shows them opaque\n";
  model.SetContent(which, std::move(*content));
  return kExitOk;
}

}  // namespace

int Compose(const ComposeArgs& args, Run& run, pg::FolderFlushes* flushes) {
  pg::LayerModel model(pg::ZoomView::kNone);
  for (auto [slot, which] : {std::pair{&args.upper, pg::Slot::kUpper}, std::pair{&args.lower, pg::Slot::kLower}}) {
    if (slot->file) {
      if (const int status = LoadSlot(*slot, which, !args.sizes.empty(), model, run); status != kExitOk)
        return status;
    }
    model.SetOffset(which, slot->offset);
  }
  model.Rebuild();

  pg::PaletteTable table;
  const auto file = args.sizes.empty()
                        ? pg::WriteIconFile(pg::SplitKeyColour(model.Composite()), args.depth, table)
                        : pg::IconFileBytes{pg::WriteModelMultiSizeIcon(model, args.sizes), 32};
  std::vector<pg::OutputFile> outputs = {{args.output, file.bytes}};
  std::vector<std::uint8_t> bmp;
  if (args.bmp) {
    bmp = pg::WriteBmp24(model.Composite());
    outputs.push_back({*args.bmp, bmp});
  }
  if (const auto w = pg::WriteFilesReplacing(outputs, flushes); !w.ok()) return run.report.WriteError(w);
  if (args.sizes.empty() && args.depth == 8 && file.bitsPerPixel == 24)
    run.report.Err() << "too many colours for 8 bits; wrote 24 bits per pixel\n";
  return kExitOk;
}

}  // namespace pgcli
