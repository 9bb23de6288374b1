// TForm2, the icon picker: a small tool window that lists every icon of one
// file and puts the one the user chooses into a slot of the main window,
// as the large icon or as the small one. It is filled from an icon source
// opened once by the caller, so neither the list nor the choice reads the
// file again. It knows nothing of the main window: what it does there, it
// reports through its callbacks. At a display scale s it lays itself out at
// s times its 100 % places and shows each icon at 32 * s pixels, re-laid
// whenever it is told of a new DPI.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "form/controls.h"
#include "form/form.h"
#include "form/list_view.h"
#include "imaging/icon.h"
#include "imaging/icon_source.h"
#include "imaging/layers.h"
#include "session/layout.h"
#include "win/handles.h"

// The picker's places in client pixels at 100 %, by the names of its
// controls; at a display scale each is Scale::Of its place here.
namespace picker_layout {
inline constexpr int kClientWidth = 268;
inline constexpr int kClientHeight = 194;
inline constexpr pg::Place ListView1{8, 8, 249, 161};      // the icons
inline constexpr pg::Place SpeedButton2{24, 172, 73, 20};   // "cancel"
inline constexpr pg::Place SpeedButton3{104, 172, 73, 20};  // "as small icon"
inline constexpr pg::Place SpeedButton1{184, 172, 73, 20};  // "select"
}  // namespace picker_layout

class TForm2 : public pgf::Form {
 public:
  TForm2();

  // The user chose an icon for the slot (an empty content: the slot is to
  // be left empty).
  std::function<void(pg::Slot, pg::SlotContent)> OnPicked;
  // The gauge while the list fills, and its end.
  std::function<void(int percent)> OnFillProgress;
  std::function<void()> OnFillEnd;
  // The picker went out of sight.
  std::function<void()> OnHidden;

  // Creates the window, hidden; `owner` keeps it above that window.
  bool CreateWindowHandle(HWND owner);

  // Fills the list from `source` with progress, then comes on screen. The
  // caption shows `sourceFile`.
  void ShowFor(pg::Slot slot, std::wstring sourceFile, std::unique_ptr<pg::IconSource> source);
  void Hide();
  bool Visible() const noexcept;
  // True while the list is being filled (the window is not on screen yet).
  bool Filling() const noexcept { return filling_; }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  using Control = pgf::Control;

  void Fill();
  // Lays the window out at the scale of `dpi`: its size (at `suggested`'s
  // top-left, else where it is), its controls' places, their font, and the
  // icons' size.
  void Relayout(UINT dpi, const RECT* suggested);
  // An empty image list at the scale's icon size with room for `capacity`.
  void ResetImages(int capacity);
  // The list's images made anew at the scale's icon size, from the source
  // while it is held.
  void RemakeImages();
  int IconSize() const noexcept { return scale_.Edge(pg::kCellSize); }
  void OnSelectClick();
  void OnCancelClick();
  void OnSmallIconClick();
  void ChooseSelected(int size);

  std::unique_ptr<pg::IconSource> source_;
  std::wstring sourceFile_;
  pg::Slot targetSlot_ = pg::Slot::kUpper;
  bool filling_ = false;
  bool placed_ = false;  // centred once; afterwards it reopens where it was
  pg::Scale scale_;

  pgf::ListView iconList_;
  pgf::ImageList iconImages_;
  pgf::SpeedButton cancelButton_{picker_layout::SpeedButton2};
  pgf::SpeedButton smallIconButton_{picker_layout::SpeedButton3};
  pgf::SpeedButton selectButton_{picker_layout::SpeedButton1};
  pgw::unique_hfont font_;
};
