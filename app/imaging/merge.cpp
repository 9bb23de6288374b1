#include "imaging/merge.h"

#include "imaging/ico_reader.h"
#include "imaging/keysplit.h"
#include "imaging/multi_size.h"

namespace pg {

Result<Icon> FlattenComposite(const Image& composite, PaletteTable& table, const ProgressFn& progress) {
  const IconFileBytes file = WriteIconFile(SplitKeyColour(composite), kMergeDepth, table, progress);
  // Read back rather than taking the split directly, so that a merged icon is
  // whatever a saved and re-loaded file would give, bit for bit.
  return ReadIcoFile(file.bytes);
}

Error MergeIcons(LayerModel& model, PaletteTable& table, const ProgressFn& progress) {
  auto flat = FlattenComposite(model.Composite(), table, progress);
  if (!flat) return flat.error();
  SlotSource everySize = FlattenSources(model);
  model.SetIcon(Slot::kUpper, TransparentIcon(), SlotSource{});
  model.SetOffset(Slot::kUpper, kMergedUpperOffset);
  model.SetIcon(Slot::kLower, std::move(*flat), std::move(everySize));
  model.SetOffset(Slot::kLower, Offset{});
  model.Rebuild();
  return Error::kOk;
}

}  // namespace pg
