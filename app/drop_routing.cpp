// Getting icons into the slots: files dropped on the main window, and the
// picker's choice. An icon file goes straight into the slot it was dropped
// on; a packed bitmap is converted in memory and, like every other file
// that holds icons, offered in the picker. Each file is read and parsed
// once; the picker lists and extracts from that one parse.
#include <utility>

#include "platform/file_io.h"
#include "imaging/folder_icon_setting.h"
#include "imaging/icon_intake.h"
#include "main_window.h"
#include "imaging/packed_bitmap.h"
#include "win/icon_files.h"
#include "win/strings.h"

namespace {

// A slot's box takes a drop on any of its pixels and on the line just past
// its right and bottom edges, so the area is one pixel larger each way
// than the picture.
bool HitsSlot(const pgf::Control& box, POINT p) noexcept {
  return p.x >= box.Left() && p.x <= box.Left() + box.Width() && p.y >= box.Top() &&
         p.y <= box.Top() + box.Height();
}

constexpr wchar_t kCannotOpen[] = L"を開けません";

}  // namespace

void TForm1::WMDropFiles(UINT msg, WPARAM wp, LPARAM lp) {
  Dd.ReadDrop(msg, wp, lp);
  // While the picker fills its list the drop is left alone: a second fill
  // must neither restart nor interleave with the one under way.
  if (Form2.Filling()) return;
  const POINT at = Dd.DropPoint;
  const std::wstring fileName = Dd.FileName;
  const struct { pg::Slot slot; const pgf::Control& box; } slots[] = {
      {pg::Slot::kUpper, Image1}, {pg::Slot::kLower, Image2}};
  switch (pg::RouteOfExtension(pgw::ToU16(Dd.FileExt))) {
    case pg::DropRoute::kIconFile:
      for (const auto& s : slots)
        if (HitsSlot(s.box, at) && !LoadIconFile(s.slot, fileName)) return;
      break;
    case pg::DropRoute::kPackedBitmap:
      for (const auto& s : slots) {
        if (!HitsSlot(s.box, at)) continue;
        // Converted in memory: no temporary bitmap in the current folder,
        // where it could overwrite a file of the user's.
        auto bytes = pg::MappedFile::Open(std::filesystem::path(fileName));
        auto bitmap = bytes ? pg::ConvertPackedBitmap(bytes->Data())
                            : pg::Result<std::vector<std::uint8_t>>(bytes.error());
        auto source = bitmap ? pg::OpenIconSource(*bitmap)
                             : pg::Result<std::unique_ptr<pg::IconSource>>(bitmap.error());
        if (!source) {
          ShowFileError(fileName, kCannotOpen, source.error());
          return;
        }
        OfferInPicker(static_cast<int>(s.slot), fileName, std::move(*source));
      }
      break;
    case pg::DropRoute::kOther:
      for (const auto& s : slots)
        if (HitsSlot(s.box, at)) OpenIconPicker(static_cast<int>(s.slot), fileName);
      break;
  }
  // The next save starts where the dropped file lies.
  initialDir_ = pgw::ToWide(pg::FolderOfPath(pgw::ToU16(fileName)));
}

// An icon file is read and decoded whole before the slot gives anything
// up, so a damaged file leaves the slot, its offsets and the composite as
// they were.
bool TForm1::LoadIconFile(pg::Slot slot, const std::wstring& fileName) {
  auto bytes = pg::MappedFile::Open(std::filesystem::path(fileName));
  auto icon = bytes ? pg::ReadIcoFile(bytes->Data()) : pg::Result<pg::Icon>(bytes.error());
  if (!icon) {
    ShowFileError(fileName, kCannotOpen, icon.error());
    return false;
  }
  // Every image of the file serves the sizes other than 32x32.
  auto images = pg::ReadIcoSlotSource(bytes->Data(), false);
  PutIconInSlot(slot, images ? pg::SlotContent{std::move(*icon), std::move(*images)}
                             : pg::ContentOfIcon(std::move(*icon)));
  return true;
}

// A file that is no icon source, or holds no icons, is passed over without
// a word, as the shell passes over it.
void TForm1::OpenIconPicker(int slot, const std::wstring& fileName) {
  auto source = pgw::OpenIconFile(fileName);
  if (source) OfferInPicker(slot, fileName, std::move(*source));
}

void TForm1::OfferInPicker(int slot, const std::wstring& shownName,
                           std::unique_ptr<pg::IconSource> source) {
  if (source->Count() < 1) return;
  // A picker still open for an earlier file closes and opens afresh.
  Form2.Hide();
  bar1.SetVisible(true);
  barcaption.SetCaption(kLoading);
  barcaption.SetVisible(true);
  Update();
  Form2.ShowFor(slot, shownName, std::move(source));
}

void TForm1::PutIconInSlot(pg::Slot slot, pg::SlotContent content) {
  const pg::LayerSnapshot before = CurrentLayers();
  SetSlotIcon(slot, std::move(content));
  layers_.SetOffset(slot, {});
  SpeedButton1.Click();
  RecordChange(before);
}

void TForm1::PutPickedIcon(int slot, pg::SlotContent content) {
  if (slot == 1) PutIconInSlot(pg::Slot::kUpper, std::move(content));
  if (slot == 2) PutIconInSlot(pg::Slot::kLower, std::move(content));
}

void TForm1::ShowFillProgress(int percent) { bar1.SetProgress(percent); }

void TForm1::EndFillProgress() { HideProgress(); }

// Back to the top of the topmost windows, which the picker's own place
// there may have disturbed, with the drop registration renewed.
void TForm1::PickerHidden() {
  if (!stayOnTop_) return;
  SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  Dd.AcceptFiles();
}
