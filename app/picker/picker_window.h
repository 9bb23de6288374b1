// TForm2, the icon picker: a small tool window that lists every icon of one
// file and puts the one the user chooses into a slot of the main window,
// as the large icon or as the small one. It is filled from an icon source
// opened once by the caller, so neither the list nor the choice reads the
// file again.
#pragma once

#include <memory>
#include <string>

#include "form/controls.h"
#include "form/form.h"
#include "form/list_view.h"
#include "imaging/icon.h"
#include "imaging/icon_source.h"
#include "imaging/layers.h"
#include "win/handles.h"

// What the picker does to the main window.
class PickerHost {
 public:
  // The slot (1 upper, 2 lower) gets this content (empty: the slot is left
  // empty), its offsets go back to 0 and the composite is rebuilt.
  virtual void PutPickedIcon(int slot, pg::SlotContent content) = 0;
  // The gauge while the list fills, and its end.
  virtual void ShowFillProgress(int percent) = 0;
  virtual void EndFillProgress() = 0;
  // The picker went out of sight.
  virtual void PickerHidden() = 0;

 protected:
  ~PickerHost() = default;
};

class TForm2 : public pgf::Form {
 public:
  explicit TForm2(PickerHost& host);

  // Creates the window, hidden; `owner` keeps it above that window.
  bool CreateWindowHandle(HWND owner);

  // Fills the list from `source` with progress, then comes on screen. The
  // caption shows `sourceFile`.
  void ShowFor(int slot, std::wstring sourceFile, std::unique_ptr<pg::IconSource> source);
  void Hide();
  bool Visible() const noexcept;
  // True while the list is being filled (the window is not on screen yet).
  bool Filling() const noexcept { return filling_; }

  std::wstring SourceFile;
  int TargetSlot = 0;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  using Control = pgf::Control;

  void FormShow();
  void FormHide();
  void ListView1DblClick(pgf::ListView& sender);
  void SpeedButton1Click(Control& sender);
  void SpeedButton2Click(Control& sender);
  void SpeedButton3Click(Control& sender);
  void ChooseSelected(int size);

  PickerHost& host_;
  std::unique_ptr<pg::IconSource> source_;
  bool filling_ = false;
  bool placed_ = false;  // centred once; afterwards it reopens where it was

  pgf::ListView ListView1;
  pgf::ImageList ImageList1;
  pgf::SpeedButton SpeedButton2{24, 172, 73, 20};   // "cancel"
  pgf::SpeedButton SpeedButton3{104, 172, 73, 20};  // "as small icon"
  pgf::SpeedButton SpeedButton1{184, 172, 73, 20};  // "select"
  pgw::unique_hfont font_;
};
