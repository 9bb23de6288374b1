// The pop-up menu's picture commands: the composite out to the clipboard, a
// picture from the clipboard into a slot, and the two layers merged into the
// lower one. The clipboard's forms are clipboard.cpp's and the pixel work is
// the core's; these handlers choose the slot, report failures and repaint.
#include <cwctype>
#include <utility>

#include "clipboard.h"
#include "imaging/clipboard_image.h"
#include "main_window.h"
#include "imaging/merge.h"
#include "win/strings.h"

// The composite exactly as the preview shows it, the key colour included.
// Slots and offsets stay as they are. A clipboard that stays busy is told,
// so a copy that did not happen is never taken for one that did.
void TForm1::copy1Click(pgf::MenuItem&) {
  const pgw::ClipboardError error = pgw::PutClipboardPicture(Handle(), layers_.Composite());
  if (error != pgw::ClipboardError::kNone) ShowError(pgw::ClipboardErrorText(error));
}

// Tag 2 is "paste Lower"; every other Tag pastes into the upper slot. The
// picture is read and turned into an icon before the slot gives anything
// up, so a clipboard without a readable picture changes nothing.
void TForm1::paste1Click(pgf::MenuItem& sender) {
  const pg::Slot slot = sender.Tag() == 2 ? pg::Slot::kLower : pg::Slot::kUpper;
  pgw::ClipboardPicture got = pgw::ReadClipboardPicture(Handle());
  if (!got) {
    ShowError(pgw::ClipboardErrorText(got.error, got.detail));
    return;
  }
  PutIconInSlot(slot, pg::SlotContent{pg::PastedIcon(got.picture),
                                      pg::PastedSlotSource(got.picture)});
}

// The composite becomes the lower icon, as a saved 24-bit icon file dropped
// on the lower slot would, and the upper slot is freed: it holds a wholly
// transparent icon out of the composite's reach, where no press can pick
// it. The preview keeps every pixel. All of it happens in memory.
void TForm1::mergeicons1Click(pgf::MenuItem&) {
  SaveDepth = pg::kMergeDepth;
  const pg::LayerSnapshot before = CurrentLayers();
  ShowProgress(kSaving);
  const pg::Error e = pg::MergeIcons(layers_, palette_, [this](int percent) {
    bar1.SetProgress(percent);
    Update();
  });
  HideProgress();
  if (e != pg::Error::kOk) {
    std::wstring reason = pgw::Widen(pg::ErrorText(e));
    if (!reason.empty()) reason[0] = static_cast<wchar_t>(std::towupper(reason[0]));
    ShowError(L"The icons cannot be merged.\n\n" + reason + L".");
    return;
  }
  Image1.SetIcon(layers_.IconOf(pg::Slot::kUpper));
  Image2.SetIcon(layers_.IconOf(pg::Slot::kLower));
  SpeedButton1.Click();
  RecordChange(before);
}
