// Tessary's main window: a fixed-size skinned window with its own title
// strip, close and minimize buttons, the two slot boxes, the live composite
// and its 4x zoom view, the save button with its progress gauge, and the
// pop-up menu. What the user edits and every rule of editing it belong to
// the editing session (pg::Session); this window turns messages into the
// session's operations, paints what they changed, and owns only window
// things: controls, dialogs, cursors, fonts, the clipboard and drops as
// Windows delivers them.
#pragma once

#include <array>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "components/anim_window.h"
#include "components/drop_file.h"
#include "form/controls.h"
#include "form/form.h"
#include "form/popup_menu.h"
#include "form/tooltip.h"
#include "imaging/icon_source.h"
#include "imaging/image.h"
#include "picker/picker_window.h"
#include "session/layout.h"
#include "session/session.h"
#include "win/handles.h"

class TForm1 : public pgf::Form {
 public:
  TForm1();

  // Creates the window, still hidden, owned by `owner` (the application
  // window).
  bool CreateWindowHandle(HWND owner = nullptr);
  // The start-up routine. False when the display has too few colours: the
  // user has been told, and the program ends without showing the window.
  bool FormCreate();
  void Show();
  // Files to put into the slots once the window is on screen, as the
  // command line names them (full paths; the first for the upper slot, the
  // second for the lower one).
  void OpenAtStart(const std::vector<std::wstring>& files);
  HACCEL Accelerators() const noexcept { return menu_.Accelerators(); }
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

  // Input.
  void OnTitleStripMouseDown(MouseButton button);
  void OnRebuildClick();
  void OnSaveMouseDown(ShiftState shift);
  void OnSaveClick();
  void OnCloseClick();
  void OnMinimizeClick();
  void OnZoomMouseDown(MouseButton button, int x, int y);
  void OnZoomMouseMove(int x, int y);
  void OnZoomMouseUp();
  void OnZoomCaptureLost();
  void OnStayOnTopClick();
  void OnCopyClick();
  void OnPasteClick(pg::Slot slot);
  void OnMergeClick();
  void OnUndoClick();
  void OnRedoClick();
  void OnOpenClick(pg::Slot slot);
  bool OnKeyDown(WPARAM key);
  void OnDropFiles(UINT msg, WPARAM wp, LPARAM lp);

  // Getting icons in, the same way whether a file was dropped on a slot,
  // opened for it from the menu or named on the command line: an icon file
  // straight into the slot, any other file through the picker. False, once
  // the user was told why, when the file is refused; the dialogs' folder
  // then stays where it was.
  bool PutFileInSlot(pg::Slot slot, const std::wstring& fileName);
  bool LoadIconFile(pg::Slot slot, const std::wstring& fileName);
  bool OpenIconPicker(pg::Slot slot, const std::wstring& fileName);
  void OfferInPicker(pg::Slot slot, const std::wstring& shownName,
                     std::unique_ptr<pg::IconSource> source);
  void TakePickedIcon(pg::Slot slot, pg::SlotContent content);
  void OnPickerHidden();
  // The command line's files, one after another: each waits until the
  // picker an earlier one opened has closed.
  void OpenStartFiles();

  // Painting what the session changed, once per operation.
  void Paint(const pg::Changes& changed);
  // The pointer is put back where it is, so the new cursor shows at once.
  void ShowZoomCursor();
  // The hint over each slot box that still holds its start picture.
  void ShowHints();

  // Start-up, and a new display scale: every control at its scaled place,
  // the artwork, font and cursors drawn for it, the pictures enlarged.
  void LoadStartIcons();
  void ChooseLowerIcon();
  void ApplyScale(pg::Scale scale);
  void LoadScaledArtwork();
  void LoadCursors();
  void OnDpiChanged(WPARAM wp, LPARAM lp);
  std::array<Control*, 13> Controls() noexcept;
  // The window's size: the skin's.
  SIZE WindowSize() const noexcept { return SIZE{skin_.Width(), skin_.Height()}; }

  // The progress display's two captions.
  static constexpr const wchar_t* kLoading = L"loading...";
  static constexpr const wchar_t* kSaving = L"saving...";
  void ShowProgress(const wchar_t* caption);
  void SetProgress(int percent);
  void HideProgress();
  // Puts the bytes in place of the file; false, once the user was told why,
  // when that fails.
  bool WriteOver(const std::wstring& fileName, const std::vector<std::uint8_t>& bytes);
  void ShowFileError(const std::wstring& fileName, const wchar_t* failed, std::wstring reason);

  pg::Session session_;

  // Controls, in painting order: later ones paint over earlier ones and
  // get the mouse first. Each names its place in the layout table.
  pgf::ImageControl skin_{layout::Image4};
  pgf::SpeedButton rebuildButton_{layout::SpeedButton1, false};
  pgf::ImageControl preview_{layout::omote};
  pgf::ImageControl zoomView_{layout::omotebi};
  pgf::SpeedButton saveButton_{layout::SpeedButton2};
  pgf::Label titleStrip_{layout::Label1};
  pgf::SpeedButton closeButton_{layout::SpeedButton3};
  pgf::Gauge gauge_{layout::bar1, false};
  pgf::Label gaugeCaption_{layout::barcaption, false};
  pgf::SpeedButton minimizeButton_{layout::SpeedButton4};
  pgf::Shape selectionFrame_{layout::Shape1};
  pgf::ImageControl upperSlot_{layout::Image1};
  pgf::ImageControl lowerSlot_{layout::Image2};

  pgf::PopupMenu menu_;
  pgf::MenuItem mergeItem_{L"merge icons"};
  pgf::MenuItem copyItem_{L"copy", 'C'};
  pgf::MenuItem pasteUpperItem_{L"paste Upper", 'V'};
  pgf::MenuItem pasteLowerItem_{L"paste Lower", 'B'};
  pgf::MenuItem stayOnTopItem_{L"stay on top"};
  pgf::MenuItem undoItem_{L"undo", 'Z'};
  pgf::MenuItem redoItem_{L"redo", 'Y'};
  pgf::MenuItem openUpperItem_{L"open Upper...", 'O'};
  pgf::MenuItem openLowerItem_{L"open Lower...", pgf::CtrlShift('O')};
  bool stayOnTop_ = false;

  TDropFile drops_;
  pgf::ToolTip hints_;
  std::deque<pg::StartFile> startFiles_;
  bool openingStartFiles_ = false;
  TForm2 picker_;
  TAnimateWindow minimizer_{*this};

  // Pictures at the display scale, reused from one paint to the next.
  pg::Scale scale_;
  pg::Image zoomPicture_;
  pg::Image previewPicture_;

  // Screen cursors at the system's cursor size for the scale: the open hand
  // over the zoom view, the closed hand while dragging, the pointing hand
  // over the slot boxes.
  pgw::unique_hcursor openHand_;
  pgw::unique_hcursor closedHand_;
  pgw::unique_hcursor pointingHand_;
  pgw::unique_hicon bigIcon_;
  pgw::unique_hicon smallIcon_;
  pgw::unique_hfont captionFont_;
};
