#include "main_window.h"

#include <commdlg.h>

#include <cwctype>

#include <vector>

#include "imaging/bmp.h"
#include "platform/file_io.h"
#include "imaging/folder_icon_setting.h"
#include "imaging/ico_reader.h"
#include "imaging/icon_source.h"
#include "imaging/icon_writer.h"
#include "imaging/keysplit.h"
#include "imaging/multi_size.h"
#include "imaging/result.h"
#include "win/fonts.h"
#include "win/icon_files.h"
#include "win/resources.h"
#include "win/strings.h"

namespace {

constexpr wchar_t kClassName[] = L"TessaryMainWindow";
constexpr wchar_t kAppTitle[] = L"Pairglyph";
constexpr wchar_t kDepthRefused[] = L"256色環境ではご使用いただけません。";
constexpr wchar_t kFolderIconKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";
constexpr COLORREF kCaptionColour = RGB(128, 128, 128);
// Where the zoom view lies inside the skin's dark square.
constexpr int kShapeLeft = 11;

std::wstring ModuleFileName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// The folder-icon override the shell keeps machine-wide. Read access is
// all it takes, so a standard user sees the setting too. A value that is
// not a string counts as no setting.
std::wstring ReadFolderIconSetting() {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFolderIconKey, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS)
    return {};
  pgw::unique_hkey key(raw);
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.get(), L"3", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
    return {};
  std::vector<wchar_t> buf(size / sizeof(wchar_t) + 1, L'\0');
  DWORD got = static_cast<DWORD>((buf.size() - 1) * sizeof(wchar_t));
  if (RegQueryValueExW(key.get(), L"3", nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                       &got) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return {};
  buf[std::min<std::size_t>(got / sizeof(wchar_t), buf.size() - 1)] = L'\0';
  return std::wstring(buf.data());  // stops at the first NUL, as a string read does
}

// Icon `index` of a file; an empty icon when the file is no icon source or
// has no such icon.
pg::SlotContent IconFromFile(const std::wstring& path, int index) {
  auto source = pgw::OpenIconFile(path);
  if (!source) return {};
  auto content = pg::ExtractSlotContent(**source, index, false);
  if (!content) return {};
  return std::move(*content);
}

pg::Icon IconResource(const wchar_t* name) {
  const pg::Bytes bytes = pgw::RcData(name);
  if (bytes.empty()) return {};
  auto icon = pg::ReadIcoFile(bytes);
  return icon ? std::move(*icon) : pg::Icon{};
}

pg::Image BitmapResource(const wchar_t* name) {
  const pg::Bytes bytes = pgw::RcData(name);
  if (bytes.empty()) return {};
  auto image = pg::ReadBmp(bytes);
  return image ? std::move(*image) : pg::Image{};
}

}  // namespace

TForm1::TForm1() {
  for (Control* c : std::initializer_list<Control*>{
           &Image4, &SpeedButton1, &omote, &omotebi, &SpeedButton2, &Label1, &SpeedButton3,
           &bar1, &barcaption, &SpeedButton4, &Shape1, &Image1, &Image2})
    AddControl(*c);

  Label1.OnMouseDown = [this](Control& s, MouseButton b, ShiftState sh, int x, int y) {
    Label1MouseDown(s, b, sh, x, y);
  };
  SpeedButton1.OnClick = [this](Control& s) { SpeedButton1Click(s); };
  SpeedButton2.OnMouseDown = [this](Control& s, MouseButton b, ShiftState sh, int x, int y) {
    SpeedButton2MouseDown(s, b, sh, x, y);
  };
  SpeedButton2.OnClick = [this](Control& s) { SpeedButton2Click(s); };
  SpeedButton3.OnClick = [this](Control& s) { SpeedButton3Click(s); };
  SpeedButton4.OnClick = [this](Control& s) { SpeedButton4Click(s); };
  omotebi.OnMouseDown = [this](Control& s, MouseButton b, ShiftState sh, int x, int y) {
    omotebiMouseDown(s, b, sh, x, y);
  };
  omotebi.OnMouseMove = [this](Control& s, ShiftState sh, int x, int y) {
    omotebiMouseMove(s, sh, x, y);
  };
  omotebi.OnMouseUp = [this](Control& s, MouseButton b, ShiftState sh, int x, int y) {
    omotebiMouseUp(s, b, sh, x, y);
  };
  omotebi.OnCaptureLost = [this](Control& s) { omotebiCaptureLost(s); };
  stayontop1.OnClick = [this](pgf::MenuItem& s) { stayontop1Click(s); };
  mergeicons1.OnClick = [this](pgf::MenuItem& s) { mergeicons1Click(s); };
  copy1.OnClick = [this](pgf::MenuItem& s) { copy1Click(s); };
  paste2.OnClick = [this](pgf::MenuItem& s) { paste1Click(s); };
  paste1.OnClick = [this](pgf::MenuItem& s) { paste1Click(s); };
  MakeHistoryItems();
  PopupMenu1.Build({&mergeicons1, &copy1, &paste2, &paste1, nullptr, &stayontop1, nullptr, &undo1,
                    &redo1});

  barcaption.SetCaption(kLoading);
  barcaption.SetTextColour(kCaptionColour);
}

bool TForm1::CreateWindowHandle(HWND owner) {
  const HINSTANCE self = GetModuleHandleW(nullptr);
  bigIcon_.reset(static_cast<HICON>(LoadImageW(self, L"MAINICON", IMAGE_ICON, 32, 32, 0)));
  smallIcon_.reset(static_cast<HICON>(LoadImageW(self, L"MAINICON", IMAGE_ICON, 16, 16, 0)));
  // A pop-up without frame or caption, owned by the application window,
  // which holds the taskbar button.
  if (!CreateHandle(kClassName, kAppTitle, bigIcon_.get(), WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX,
                    0, 0, 0, kSkinWidth, kSkinHeight, owner))
    return false;
  AnimateWindow1.SetParentComponent(Handle());
  if (smallIcon_)
    SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
  return true;
}

void TForm1::LoadArtwork() {
  pg::Image skin = BitmapResource(L"SKIN");
  if (skin.Empty()) skin = pg::Image(kSkinWidth, kSkinHeight, layout::SkinCream);
  Image4.SetBounds(0, 0, skin.Width(), skin.Height());
  Image4.SetBitmap(skin);
  const pg::Image glyph = BitmapResource(L"SAVEGLYPH");
  if (!glyph.Empty()) SpeedButton2.SetGlyph(glyph);
  const pg::Icon upper = IconResource(L"UPPERICON");
  layers_.SetIcon(pg::Slot::kUpper, upper);
  Image1.SetIcon(upper);
  lowerDefault_ = IconResource(L"LOWERICON");
  layers_.SetIcon(pg::Slot::kLower, lowerDefault_);
  Image2.SetIcon(lowerDefault_);
}

void TForm1::MakeCaptionFont() {
  captionFont_ = pgw::MakeUiFont(12);
  barcaption.SetFont(captionFont_.get());
}

bool TForm1::FormCreate() {
  // 1. Too few colours for the composite to mean anything.
  {
    pgw::WindowDc dc(Handle());
    if (GetDeviceCaps(dc.get(), BITSPIXEL) <= 15) {
      MessageBoxW(nullptr, kDepthRefused, kAppTitle, MB_OK);
      return false;
    }
  }
  LoadArtwork();
  MakeCaptionFont();
  // 2. The upper slot is selected at start.
  Shape1.SetBounds(kShapeLeft, Image1.Top() - 1, Shape1.Width(), Shape1.Height());
  // 3. The window takes the skin's size, centred on the screen.
  const int w = Image4.Width(), h = Image4.Height();
  const int x = std::max(0, (GetSystemMetrics(SM_CXSCREEN) - w) / 2);
  const int y = std::max(0, (GetSystemMetrics(SM_CYSCREEN) - h) / 2);
  SetWindowPos(Handle(), nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  // 5, 6. Layer state with all offsets at 0.
  layers_.SetOffset(pg::Slot::kUpper, {});
  layers_.SetOffset(pg::Slot::kLower, {});
  // 7. The save dialog starts in the program's folder.
  initialDir_ = pgw::ToWide(pg::FolderOfPath(pgw::ToU16(ModuleFileName())));
  // 8, 9. The lower icon from the shell's folder-icon setting.
  ChooseLowerIcon();
  // 10. The first composite.
  SpeedButton1.Click();
  // 11, 12. Cursors.
  const HINSTANCE self = GetModuleHandleW(nullptr);
  const wchar_t* names[3] = {L"CURSOR2", L"CURSOR1", L"CURSOR3"};
  for (int i = 0; i < 3; ++i) {
    cursors_[i] = LoadCursorW(self, names[i]);
    if (!cursors_[i]) cursors_[i] = LoadCursorW(nullptr, IDC_HAND);
  }
  Image1.SetCursor(cursors_[2]);
  Image2.SetCursor(cursors_[2]);
  omotebi.SetCursor(cursors_[0]);
  // 4. Files dropped from the shell arrive as WM_DROPFILES.
  Dd.SetOwner(Handle());
  Dd.AcceptFiles();
  // The picker, hidden until a file is offered in it. Owned by the
  // application window, as this window is, so a minimize hides both; not
  // by this window, since under Wine the owner of a topmost window cannot
  // itself be made topmost, which would break "stay on top".
  Form2.CreateWindowHandle(GetWindow(Handle(), GW_OWNER));
  return true;
}

void TForm1::Show() {
  ShowWindow(Handle(), SW_SHOWNORMAL);
  UpdateWindow(Handle());
}

void TForm1::ChooseLowerIcon() {
  const std::wstring setting = ReadFolderIconSetting();
  const pg::FolderIconChoice choice = pg::ChooseFolderIcon(pgw::ToU16(setting));
  switch (choice.kind) {
    case pg::FolderIconChoice::Kind::kUseFile:
      SetSlotIcon(pg::Slot::kLower, IconFromFile(pgw::ToWide(choice.file), choice.index));
      break;
    case pg::FolderIconChoice::Kind::kEmptySlot:
      SetSlotIcon(pg::Slot::kLower, pg::SlotContent{});
      break;
    case pg::FolderIconChoice::Kind::kUseShellDefault:
      SetSlotIcon(pg::Slot::kLower,
                  IconFromFile(pgw::SystemFolder() + L"\\shell32.dll", pg::kShellFolderIconIndex));
      break;
    case pg::FolderIconChoice::Kind::kKeepDefault:
      break;
  }
}

void TForm1::SetSlotIcon(pg::Slot slot, pg::SlotContent content) {
  (slot == pg::Slot::kUpper ? Image1 : Image2).SetIcon(content.icon);
  layers_.SetContent(slot, std::move(content));
}

// Nothing to tidy: bitmaps are converted in memory, so this program leaves
// no temporary files behind, and a "~temp.bmp" in the current folder is the
// user's own file, which closing must not delete.
void TForm1::FormClose() {}

LRESULT TForm1::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      FormClose();
      DestroyWindow(Handle());
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_CONTEXTMENU: {
      POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      if (pt.x == -1 && pt.y == -1) GetCursorPos(&pt);  // from the keyboard
      PopupMenu1.Popup(Handle(), pt);
      return 0;
    }
    case WM_COMMAND:
      if (lp == 0 && PopupMenu1.Dispatch(LOWORD(wp))) return 0;
      break;
    case WM_DROPFILES:
      WMDropFiles(msg, wp, lp);
      return 0;
    case WM_KEYDOWN:
      if (HistoryKeyDown(wp)) return 0;
      break;
    default:
      break;
  }
  return Form::HandleMessage(msg, wp, lp);
}

// The title strip: the left button hands the window to the system's move
// loop, as if a caption bar had been grabbed.
void TForm1::Label1MouseDown(Control&, MouseButton button, ShiftState, int, int) {
  if (button != MouseButton::kLeft) return;
  ReleaseCapture();
  SendMessageW(Handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void TForm1::SpeedButton3Click(Control&) { PostMessageW(Handle(), WM_CLOSE, 0, 0); }

void TForm1::SpeedButton4Click(Control&) { AnimateWindow1.Minimize(); }

void TForm1::stayontop1Click(pgf::MenuItem& sender) {
  stayOnTop_ = !stayOnTop_;
  // Wine keeps an owned window above its owner by putting it right after
  // the window above the owner; with the application window right below,
  // that is this window itself, which then stays topmost. Without its owner
  // for the moment it goes where it is sent.
  const HWND owner = stayOnTop_ ? nullptr : GetWindow(Handle(), GW_OWNER);
  if (owner) SetWindowLongPtrW(Handle(), GWLP_HWNDPARENT, 0);
  SetWindowPos(Handle(), stayOnTop_ ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (owner) SetWindowLongPtrW(Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  sender.SetChecked(stayOnTop_);
  // The window is not made anew here, so its registration still holds;
  // renewing it costs nothing and keeps drops arriving whatever the switch
  // does on a given system.
  Dd.AcceptFiles();
}

bool TForm1::TranslateShortcut(MSG& msg) const noexcept {
  return Handle() && Accelerators() && GetActiveWindow() == Handle() &&
         TranslateAcceleratorW(Handle(), Accelerators(), &msg);
}

// The layer rebuild: clean masks from both slot icons, then the composite
// with the stored offsets.
void TForm1::SpeedButton1Click(Control&) {
  layers_.Rebuild();
  omote.SetBitmap(layers_.Composite());
  omotebi.SetBitmap(layers_.Zoomed());
  Update();
}

void TForm1::ComposeLayers(pg::Offset upper, pg::Offset lower) {
  layers_.ComposeLayers(upper, lower);
  omote.SetBitmap(layers_.Composite());
  omotebi.SetBitmap(layers_.Zoomed());
  Update();
}

void TForm1::omotebiMouseDown(Control&, MouseButton button, ShiftState shift, int x, int y) {
  if (button != MouseButton::kLeft) return;
  dragBefore_ = CurrentLayers();
  Tag = 1;
  DragStartX = x;
  DragStartY = y;
  const pg::Slot picked = pg::PickLayer(layers_.IconOf(pg::Slot::kUpper).mask,
                                        layers_.OffsetOf(pg::Slot::kUpper), x, y);
  Shape1.SetTop((picked == pg::Slot::kUpper ? Image1 : Image2).Top() - 1);
  ReleaseCaptureKeepingControl();
  omotebi.SetCursor(cursors_[1]);
  POINT pt;
  GetCursorPos(&pt);
  SetCursorPos(pt.x, pt.y);
  // The platform need not send a move for a pointer put back where it was;
  // the move step runs here once so the drag starts from the picked slot's
  // own offsets and a release without any move commits them unchanged.
  omotebiMouseMove(omotebi, shift, x, y);
  SetCapture(Handle());
}

void TForm1::omotebiMouseMove(Control&, ShiftState, int x, int y) {
  if (Tag != 1) return;
  if (UpperSelected()) {
    DragOffset = pg::DragOffset(layers_.OffsetOf(pg::Slot::kUpper), DragStartX, DragStartY, x, y);
    ComposeLayers(DragOffset, layers_.OffsetOf(pg::Slot::kLower));
  } else {
    DragOffset = pg::DragOffset(layers_.OffsetOf(pg::Slot::kLower), DragStartX, DragStartY, x, y);
    ComposeLayers(layers_.OffsetOf(pg::Slot::kUpper), DragOffset);
  }
}

void TForm1::CommitDrag() {
  if (Tag == 1) {
    layers_.SetOffset(UpperSelected() ? pg::Slot::kUpper : pg::Slot::kLower, DragOffset);
    RecordChange(dragBefore_);
  }
  Tag = 0;
}

void TForm1::omotebiMouseUp(Control&, MouseButton, ShiftState, int, int) {
  CommitDrag();
  ReleaseCapture();
  omotebi.SetCursor(cursors_[0]);
  POINT pt;
  GetCursorPos(&pt);
  SetCursorPos(pt.x, pt.y);
}

// Another window took the pointer in mid-drag (a system dialog, a window
// switch): the drag ends as if released, so it never hangs on.
void TForm1::omotebiCaptureLost(Control&) {
  CommitDrag();
  omotebi.SetCursor(cursors_[0]);
}

void TForm1::SplitKeyColour() { split_ = pg::SplitKeyColour(layers_.Composite()); }

// Shift with the left button alone asks for 8 bits; anything else for 24.
void TForm1::SpeedButton2MouseDown(Control&, MouseButton, ShiftState shift, int, int) {
  const bool shiftAndLeftOnly = shift.shift && shift.left && !shift.ctrl && !shift.alt &&
                                !shift.right && !shift.middle && !shift.doubleClick;
  SaveDepth = shiftAndLeftOnly ? 8 : 24;
}

void TForm1::SpeedButton2Click(Control&) {
  SplitKeyColour();
  static constexpr wchar_t kFilter[] =
      L"8bit icon file (256color)\0*.ico\0"
      L"24bit icon file (true color)\0*.ico\0"
      L"all types\0*.*\0"
      // Beyond the three types above: every size the shell shows, composed
      // from the sources' own images, with alpha.
      L"multi-size icon (16-256, 32-bit)\0*.ico\0";
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = Handle();
  ofn.lpstrFilter = kFilter;
  ofn.nFilterIndex = filterIndex_;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = initialDir_.empty() ? nullptr : initialDir_.c_str();
  ofn.lpstrDefExt = L"ico";
  ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&ofn)) return;
  filterIndex_ = ofn.nFilterIndex;
  if (ofn.nFilterIndex == 1) SaveDepth = 8;
  if (ofn.nFilterIndex == 2) SaveDepth = 24;
  const std::wstring name(file.data());
  const bool written = ofn.nFilterIndex == kMultiSizeType ? WriteMultiSizeIconFile(name)
                                                          : WriteIconFile(split_, name);
  if (written) initialDir_ = pgw::ToWide(pg::FolderOfPath(pgw::ToU16(name)));
}

// A file that cannot be read or written, in the words of the program's
// other file errors: the file's name, what failed, and why.
void TForm1::ShowFileError(const std::wstring& fileName, const wchar_t* failed, pg::Error e) {
  ShowFileError(fileName, failed, pgw::Widen(pg::ErrorText(e)));
}

void TForm1::ShowFileError(const std::wstring& fileName, const wchar_t* failed,
                           std::wstring reason) {
  if (!reason.empty()) reason[0] = static_cast<wchar_t>(towupper(reason[0]));
  ShowError(L"ﾌｧｲﾙ " + fileName + L" " + failed + L"\n\n" + reason + L".");
}

void TForm1::ShowError(const std::wstring& text) {
  MessageBoxW(Handle(), text.c_str(), kAppTitle, MB_OK | MB_ICONERROR);
}

void TForm1::ShowProgress(const wchar_t* caption) {
  bar1.SetProgress(0);
  bar1.SetVisible(true);
  barcaption.SetCaption(caption);
  barcaption.SetVisible(true);
  Update();
}

void TForm1::HideProgress() {
  bar1.SetVisible(false);
  barcaption.SetVisible(false);
  barcaption.SetCaption(kLoading);
  Update();
}

bool TForm1::WriteIconFile(const pg::Icon& icon, const std::wstring& fileName) {
  ShowProgress(kSaving);
  const pg::IconFileBytes file = pg::WriteIconFile(icon, SaveDepth, palette_, [this](int percent) {
    bar1.SetProgress(percent);
    Update();
  });
  return SaveBytes(fileName, file.bytes);
}

bool TForm1::WriteMultiSizeIconFile(const std::wstring& fileName) {
  ShowProgress(kSaving);
  return SaveBytes(fileName, pg::WriteModelMultiSizeIcon(layers_));
}

bool TForm1::SaveBytes(const std::wstring& fileName, const std::vector<std::uint8_t>& bytes) {
  // Written beside the target first: a failed write leaves an existing file
  // as it was.
  const pg::OutputFile out{std::filesystem::path(fileName), bytes};
  const pg::WriteResult w = pg::WriteFilesReplacing(std::span<const pg::OutputFile>(&out, 1));
  HideProgress();
  if (w.ok()) return true;
  // The core's sentence and the system's own reason, in UTF-8.
  const std::string text8 = w.Text();
  ShowFileError(fileName, L"を作成できません", pgw::FromUtf8(text8));
  return false;
}
