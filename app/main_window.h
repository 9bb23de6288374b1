// Tessary's main window: a fixed-size skinned window with its own title
// strip, close and minimize buttons, the two slot icons, the live composite
// and its 4x zoom view, the save button with its progress gauge, and the
// pop-up menu. All pixel work is the core's (pg::LayerModel and friends);
// this class only routes the user's input to it and paints what it gives.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "components/anim_window.h"
#include "components/drop_file.h"
#include "form/controls.h"
#include "form/form.h"
#include "form/popup_menu.h"
#include "imaging/history.h"
#include "imaging/icon.h"
#include "imaging/layers.h"
#include "main_window_layout.h"
#include "imaging/palette.h"
#include "picker/picker_window.h"
#include "imaging/result.h"
#include "win/handles.h"

class TForm1 : public pgf::Form, private PickerHost {
 public:
  TForm1();

  // Creates the window, still hidden, owned by `owner` (the application
  // window).
  bool CreateWindowHandle(HWND owner = nullptr);
  // The start-up routine. False when the display has too few colours: the
  // user has been told, and the program ends without showing the window.
  bool FormCreate();
  void Show();
  HACCEL Accelerators() const noexcept { return PopupMenu1.Accelerators(); }
  // The menu's shortcuts belong to the main window: they act only while it
  // is the active window, so keys typed into the picker stay there.
  bool TranslateShortcut(MSG& msg) const noexcept;

  // The window's size when the skin is missing; the skin decides otherwise.
  static constexpr int kSkinWidth = layout::Image4.width;
  static constexpr int kSkinHeight = layout::Image4.height;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  using Control = pgf::Control;
  using MouseButton = pgf::MouseButton;
  using ShiftState = pgf::ShiftState;

  // Event handlers.
  void FormClose();
  void Label1MouseDown(Control& sender, MouseButton button, ShiftState shift, int x, int y);
  void SpeedButton1Click(Control& sender);
  void SpeedButton2MouseDown(Control& sender, MouseButton button, ShiftState shift, int x, int y);
  void SpeedButton2Click(Control& sender);
  void SpeedButton3Click(Control& sender);
  void SpeedButton4Click(Control& sender);
  void omotebiMouseDown(Control& sender, MouseButton button, ShiftState shift, int x, int y);
  void omotebiMouseMove(Control& sender, ShiftState shift, int x, int y);
  void omotebiMouseUp(Control& sender, MouseButton button, ShiftState shift, int x, int y);
  void omotebiCaptureLost(Control& sender);
  void stayontop1Click(pgf::MenuItem& sender);
  void WMDropFiles(UINT msg, WPARAM wp, LPARAM lp);  // drop_routing.cpp
  void copy1Click(pgf::MenuItem& sender);            // clipboard_commands.cpp
  void paste1Click(pgf::MenuItem& sender);           // clipboard_commands.cpp
  void mergeicons1Click(pgf::MenuItem& sender);      // clipboard_commands.cpp

  // The progress display's two captions.
  static constexpr const wchar_t* kLoading = L"loading...";
  static constexpr const wchar_t* kSaving = L"saving...";

  // Shared work of the form.
  void ComposeLayers(pg::Offset upper, pg::Offset lower);
  void SplitKeyColour();
  bool WriteIconFile(const pg::Icon& icon, const std::wstring& fileName);
  // Every size from 16 to 256 with alpha: the save dialog's fourth type.
  bool WriteMultiSizeIconFile(const std::wstring& fileName);
  static constexpr DWORD kMultiSizeType = 4;
  // Puts the bytes in place of the file, with the progress display hidden
  // after; false, once the user was told why, when that fails.
  bool SaveBytes(const std::wstring& fileName, const std::vector<std::uint8_t>& bytes);
  void ChooseLowerIcon();
  void SetSlotIcon(pg::Slot slot, pg::SlotContent content);
  bool UpperSelected() const noexcept { return Shape1.Top() == Image1.Top() - 1; }
  void CommitDrag();
  void ShowProgress(const wchar_t* caption);
  void HideProgress();
  void LoadArtwork();
  void MakeCaptionFont();
  void ShowFileError(const std::wstring& fileName, const wchar_t* failed, pg::Error e);
  void ShowFileError(const std::wstring& fileName, const wchar_t* failed, std::wstring reason);
  void ShowError(const std::wstring& text);

  // Getting icons in (drop_routing.cpp).
  bool LoadIconFile(pg::Slot slot, const std::wstring& fileName);
  void OpenIconPicker(int slot, const std::wstring& fileName);
  void OfferInPicker(int slot, const std::wstring& shownName,
                     std::unique_ptr<pg::IconSource> source);
  void PutIconInSlot(pg::Slot slot, pg::SlotContent content);

  // Undo, redo and the keyboard's moves (history_commands.cpp).
  void MakeHistoryItems();
  pg::LayerSnapshot CurrentLayers() const;
  void RecordChange(const pg::LayerSnapshot& before, pg::RunKey run = {});
  void ShowLayerState(const pg::LayerSnapshot& state);
  void UndoClick(pgf::MenuItem& sender);
  void RedoClick(pgf::MenuItem& sender);
  bool HistoryKeyDown(WPARAM key);

  // What the picker does to this window.
  void PutPickedIcon(int slot, pg::SlotContent content) override;
  void ShowFillProgress(int percent) override;
  void EndFillProgress() override;
  void PickerHidden() override;

  // Controls, in painting order: later ones paint over earlier ones and
  // get the mouse first.
  pgf::ImageControl Image4{layout::Image4};
  pgf::SpeedButton SpeedButton1{layout::SpeedButton1, false};
  pgf::ImageControl omote{layout::omote};
  pgf::ImageControl omotebi{layout::omotebi};
  pgf::SpeedButton SpeedButton2{layout::SpeedButton2};
  pgf::Label Label1{layout::Label1};
  pgf::SpeedButton SpeedButton3{layout::SpeedButton3};
  pgf::Gauge bar1{layout::bar1, false};
  pgf::Label barcaption{layout::barcaption, false};
  pgf::SpeedButton SpeedButton4{layout::SpeedButton4};
  pgf::Shape Shape1{layout::Shape1};
  pgf::ImageControl Image1{layout::Image1};
  pgf::ImageControl Image2{layout::Image2};

  pgf::PopupMenu PopupMenu1;
  pgf::MenuItem mergeicons1{L"merge icons"};
  pgf::MenuItem copy1{L"copy", 'C'};
  pgf::MenuItem paste2{L"paste Upper", 'V', 1};
  pgf::MenuItem paste1{L"paste Lower", 'B', 2};
  pgf::MenuItem stayontop1{L"stay on top"};
  bool stayOnTop_ = false;
  pgf::MenuItem undo1{L"undo", 'Z'};
  pgf::MenuItem redo1{L"redo", 'Y'};
  pg::LayerHistory history_;
  pg::LayerSnapshot dragBefore_;  // the layer state at the press

  TDropFile Dd;
  TForm2 Form2{*this};
  TAnimateWindow AnimateWindow1{*this};

  // Layer state and the images made for saving.
  pg::LayerModel layers_;
  pg::Icon split_;  // icolor (colour) and imask (mask) of the last split
  pg::PaletteTable palette_;
  pg::Icon lowerDefault_;  // the lower slot's built-in folder picture

  int SaveDepth = 24;
  int Tag = 0;  // 1 while dragging in the zoom view
  int DragStartX = 0;
  int DragStartY = 0;
  pg::Offset DragOffset;

  // The save dialog's state.
  std::wstring initialDir_;
  DWORD filterIndex_ = 1;

  // Screen cursors 1 (open hand), 2 (closed hand), 3 (pointing hand).
  HCURSOR cursors_[3] = {};
  pgw::unique_hicon bigIcon_;
  pgw::unique_hicon smallIcon_;
  pgw::unique_hfont captionFont_;
};
