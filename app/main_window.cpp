#include "main_window.h"

#include <commdlg.h>

#include <cwctype>
#include <string_view>
#include <utility>

#include <vector>

#include "imaging/bmp.h"
#include "imaging/clipboard_image.h"
#include "imaging/folder_icon_setting.h"
#include "imaging/ico_reader.h"
#include "imaging/icon_intake.h"
#include "imaging/icon_source.h"
#include "imaging/packed_bitmap.h"
#include "imaging/result.h"
#include "imaging/scale.h"
#include "platform/file_io.h"
#include "clipboard.h"
#include "win/fonts.h"
#include "win/icon_files.h"
#include "win/messages.h"
#include "win/resources.h"
#include "win/strings.h"

namespace {

constexpr wchar_t kClassName[] = L"TessaryMainWindow";
constexpr wchar_t kAppTitle[] = L"Pairglyph";
constexpr wchar_t kCannotOpen[] = L"を開けません";
constexpr wchar_t kCannotCreate[] = L"を作成できません";
constexpr wchar_t kDepthRefused[] = L"256色環境ではご使用いただけません。";
constexpr wchar_t kFolderIconKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Icons";
constexpr COLORREF kCaptionColour = RGB(128, 128, 128);
constexpr wchar_t kSlotHint[] = L"drop an icon file here, or use open\u2026 in the menu";
// Posted to itself: the command line's files are taken once the window is
// on screen, and the next one once the picker has closed.
constexpr UINT kOpenStartFiles = WM_APP + 1;

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


// The fields the save and the open dialog share: the owner, the types, the
// chosen name's buffer and the folder they start in.
OPENFILENAMEW FileDialog(HWND owner, const wchar_t* filter, DWORD filterIndex,
                         std::vector<wchar_t>& file, const std::wstring& folder) {
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = filterIndex;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  return ofn;
}

// Shift with the left button alone asks the save for 8 bits.
bool ShiftAndLeftOnly(const pgf::ShiftState& s) noexcept {
  return s.shift && s.left && !s.ctrl && !s.alt && !s.right && !s.middle && !s.doubleClick;
}

std::wstring Capitalised(std::string_view ascii) {
  std::wstring text = pgw::Widen(ascii);
  if (!text.empty()) text[0] = static_cast<wchar_t>(std::towupper(text[0]));
  return text;
}

}  // namespace

TForm1::TForm1() {
  for (Control* c : Controls()) AddControl(*c);

  titleStrip_.OnMouseDown = [this](Control&, MouseButton b, ShiftState, int, int) {
    OnTitleStripMouseDown(b);
  };
  rebuildButton_.OnClick = [this](Control&) { OnRebuildClick(); };
  saveButton_.OnMouseDown = [this](Control&, MouseButton, ShiftState sh, int, int) {
    OnSaveMouseDown(sh);
  };
  saveButton_.OnClick = [this](Control&) { OnSaveClick(); };
  closeButton_.OnClick = [this](Control&) { OnCloseClick(); };
  minimizeButton_.OnClick = [this](Control&) { OnMinimizeClick(); };
  zoomView_.OnMouseDown = [this](Control&, MouseButton b, ShiftState, int x, int y) {
    OnZoomMouseDown(b, x, y);
  };
  zoomView_.OnMouseMove = [this](Control&, ShiftState, int x, int y) { OnZoomMouseMove(x, y); };
  zoomView_.OnMouseUp = [this](Control&, MouseButton, ShiftState, int, int) { OnZoomMouseUp(); };
  zoomView_.OnCaptureLost = [this](Control&) { OnZoomCaptureLost(); };

  stayOnTopItem_.OnClick = [this](pgf::MenuItem&) { OnStayOnTopClick(); };
  mergeItem_.OnClick = [this](pgf::MenuItem&) { OnMergeClick(); };
  copyItem_.OnClick = [this](pgf::MenuItem&) { OnCopyClick(); };
  pasteUpperItem_.OnClick = [this](pgf::MenuItem&) { OnPasteClick(pg::Slot::kUpper); };
  pasteLowerItem_.OnClick = [this](pgf::MenuItem&) { OnPasteClick(pg::Slot::kLower); };
  undoItem_.OnClick = [this](pgf::MenuItem&) { OnUndoClick(); };
  redoItem_.OnClick = [this](pgf::MenuItem&) { OnRedoClick(); };
  openUpperItem_.OnClick = [this](pgf::MenuItem&) { OnOpenClick(pg::Slot::kUpper); };
  openLowerItem_.OnClick = [this](pgf::MenuItem&) { OnOpenClick(pg::Slot::kLower); };
  undoItem_.SetEnabled(false);
  redoItem_.SetEnabled(false);
  // Opening files comes last, in a group of its own: the items above keep
  // their places for users who know them.
  menu_.Build({&mergeItem_, &copyItem_, &pasteUpperItem_, &pasteLowerItem_, nullptr,
               &stayOnTopItem_, nullptr, &undoItem_, &redoItem_, nullptr, &openUpperItem_,
               &openLowerItem_});

  picker_.OnPicked = [this](pg::Slot slot, pg::SlotContent content) {
    TakePickedIcon(slot, std::move(content));
  };
  picker_.OnFillProgress = [this](int percent) { gauge_.SetProgress(percent); };
  picker_.OnFillEnd = [this] { HideProgress(); };
  picker_.OnHidden = [this] { OnPickerHidden(); };

  gaugeCaption_.SetCaption(kLoading);
  gaugeCaption_.SetTextColour(kCaptionColour);
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
  minimizer_.SetParentComponent(Handle());
  if (smallIcon_)
    SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
  return true;
}

void TForm1::LoadStartIcons() {
  session_.SetStartContent(pg::Slot::kUpper, pg::ContentOfIcon(IconResource(L"UPPERICON")));
  session_.SetStartContent(pg::Slot::kLower, pg::ContentOfIcon(IconResource(L"LOWERICON")));
}

std::array<pgf::Control*, 13> TForm1::Controls() noexcept {
  return {&skin_,        &rebuildButton_, &preview_,        &zoomView_,
          &saveButton_,  &titleStrip_,    &closeButton_,    &gauge_,
          &gaugeCaption_, &minimizeButton_, &selectionFrame_, &upperSlot_,
          &lowerSlot_};
}

// The skin and the save glyph are drawn for each quarter step of scale
// (SKIN, SKIN125, ... SKIN300), so nothing is stretched.
void TForm1::LoadScaledArtwork() {
  const std::wstring suffix = scale_.percent == 100 ? L"" : std::to_wstring(scale_.percent);
  pg::Image skin = BitmapResource((L"SKIN" + suffix).c_str());
  const pg::Place skinPlace = scale_.Of(layout::Image4);
  if (skin.Empty()) skin = pg::Image(skinPlace.width, skinPlace.height, layout::SkinCream);
  skin_.SetBounds(0, 0, skin.Width(), skin.Height());
  skin_.SetBitmap(skin);
  const pg::Image glyph = BitmapResource((L"SAVEGLYPH" + suffix).c_str());
  if (!glyph.Empty()) saveButton_.SetGlyph(glyph);
  captionFont_ = pgw::MakeUiFont(scale_.Edge(12));
  gaugeCaption_.SetFont(captionFont_.get());
}

void TForm1::LoadCursors() {
  const HINSTANCE self = GetModuleHandleW(nullptr);
  const UINT dpi = static_cast<UINT>(scale_.percent * 96 / 100);
  const int size = GetSystemMetricsForDpi(SM_CXCURSOR, dpi);
  const auto load = [self, size](const wchar_t* name) {
    pgw::unique_hcursor c(static_cast<HCURSOR>(LoadImageW(self, name, IMAGE_CURSOR, size, size, 0)));
    if (!c) c.reset(static_cast<HCURSOR>(CopyImage(LoadCursorW(nullptr, IDC_HAND), IMAGE_CURSOR,
                                                    0, 0, 0)));
    return c;
  };
  openHand_ = load(L"CURSOR2");
  closedHand_ = load(L"CURSOR1");
  pointingHand_ = load(L"CURSOR3");
  upperSlot_.SetCursor(pointingHand_.get());
  lowerSlot_.SetCursor(pointingHand_.get());
  zoomView_.SetCursor(session_.Dragging() ? closedHand_.get() : openHand_.get());
}

void TForm1::ApplyScale(pg::Scale scale) {
  scale_ = scale;
  session_.SetScale(scale);
  for (Control* c : Controls()) c->SetScale(scale);
  LoadScaledArtwork();
  LoadCursors();
  zoomPicture_ = scale.percent == 100 ? pg::Image() : pg::Image(zoomView_.Width(), zoomView_.Height());
  previewPicture_ = scale.percent == 100 ? pg::Image() : pg::Image(preview_.Width(), preview_.Height());
  Paint(pg::Changes{.slots = true, .composite = true, .selection = true});
}

// The window moved to a display of another scale: it is laid out anew for
// it, at the place Windows suggests.
void TForm1::OnDpiChanged(WPARAM wp, LPARAM lp) {
  ApplyScale(pg::Scale::ForDpi(LOWORD(wp)));
  const RECT* suggested = reinterpret_cast<const RECT*>(lp);
  const SIZE size = WindowSize();
  SetWindowPos(Handle(), nullptr, suggested ? suggested->left : 0, suggested ? suggested->top : 0,
               size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE | (suggested ? 0 : SWP_NOMOVE));
  ::InvalidateRect(Handle(), nullptr, FALSE);
}

bool TForm1::FormCreate() {
  // Too few colours for the composite to mean anything.
  {
    pgw::WindowDc dc(Handle());
    if (GetDeviceCaps(dc.get(), BITSPIXEL) <= 15) {
      pgw::ShowNotice(nullptr, kDepthRefused);
      return false;
    }
  }
  LoadStartIcons();
  // Every place at the window's own display scale; the upper slot is
  // selected at start.
  ApplyScale(pg::Scale::ForDpi(static_cast<int>(GetDpiForWindow(Handle()))));
  // The window takes the skin's size, centred on the screen.
  const int w = WindowSize().cx, h = WindowSize().cy;
  const int x = std::max(0, (GetSystemMetrics(SM_CXSCREEN) - w) / 2);
  const int y = std::max(0, (GetSystemMetrics(SM_CYSCREEN) - h) / 2);
  SetWindowPos(Handle(), nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  // The save dialog starts in the program's folder.
  session_.SetDialogFolder(pg::FolderOfPath(pgw::ToU16(ModuleFileName())));
  ChooseLowerIcon();
  // Made before the first paint, which puts the hints over the slots.
  hints_.Create(Handle());
  // The first composite.
  rebuildButton_.Click();
  // Files dropped from the shell arrive as WM_DROPFILES.
  drops_.SetOwner(Handle());
  drops_.AcceptFiles();
  // The picker, hidden until a file is offered in it. Owned by the
  // application window, as this window is, so a minimize hides both; not
  // by this window, since under Wine the owner of a topmost window cannot
  // itself be made topmost, which would break "stay on top".
  picker_.CreateWindowHandle(GetWindow(Handle(), GW_OWNER));
  return true;
}

void TForm1::Show() {
  ShowWindow(Handle(), SW_SHOWNORMAL);
  UpdateWindow(Handle());
  if (!startFiles_.empty()) PostMessageW(Handle(), kOpenStartFiles, 0, 0);
}

void TForm1::OpenAtStart(const std::vector<std::wstring>& files) {
  std::vector<std::u16string> paths;
  for (const std::wstring& f : files) paths.push_back(pgw::ToU16(f));
  for (pg::StartFile& f : pg::Session::PlanStartFiles(paths)) startFiles_.push_back(std::move(f));
}

void TForm1::OpenStartFiles() {
  // A message box of an earlier file runs its own message loop, in which
  // this may arrive again: the loop below goes on once the box is closed.
  if (openingStartFiles_) return;
  openingStartFiles_ = true;
  while (!startFiles_.empty() && !picker_.Visible() && !picker_.Filling()) {
    const pg::StartFile file = std::move(startFiles_.front());
    startFiles_.pop_front();
    const std::wstring fileName = pgw::ToWide(file.path);
    if (PutFileInSlot(file.slot, fileName)) session_.FollowDroppedFile(file.path);
  }
  openingStartFiles_ = false;
}

void TForm1::ChooseLowerIcon() {
  const std::wstring setting = ReadFolderIconSetting();
  const pg::FolderIconChoice choice = pg::ChooseFolderIcon(pgw::ToU16(setting));
  switch (choice.kind) {
    case pg::FolderIconChoice::Kind::kUseFile:
      session_.SetStartContent(pg::Slot::kLower,
                               IconFromFile(pgw::ToWide(choice.file), choice.index));
      break;
    case pg::FolderIconChoice::Kind::kEmptySlot:
      session_.SetStartContent(pg::Slot::kLower, pg::SlotContent{});
      break;
    case pg::FolderIconChoice::Kind::kUseShellDefault:
      session_.SetStartContent(
          pg::Slot::kLower,
          IconFromFile(pgw::SystemFolder() + L"\\shell32.dll", pg::kShellFolderIconIndex));
      break;
    case pg::FolderIconChoice::Kind::kKeepDefault:
      break;
  }
}

void TForm1::Paint(const pg::Changes& changed) {
  const bool scaled = scale_.percent != 100;
  if (changed.slots) {
    // Each slot's icon at 32 * s, every icon pixel a block of device pixels
    // (a small icon keeps its place in the cell's top-left corner).
    const int n = upperSlot_.Width();
    for (auto [slot, box] : {std::pair{pg::Slot::kUpper, &upperSlot_},
                             std::pair{pg::Slot::kLower, &lowerSlot_}}) {
      const pg::Icon& icon = session_.IconOf(slot);
      box->SetIcon(!scaled || icon.Empty()
                       ? icon
                       : pg::EnlargeNearest(icon, pg::ScaledIconSize(icon.colour.Width(), n),
                                            pg::ScaledIconSize(icon.colour.Height(), n)));
    }
    ShowHints();
  }
  if (changed.composite) {
    if (scaled) {
      pg::EnlargeNearestInto(session_.Composite(), previewPicture_);
      pg::EnlargeNearestInto(session_.Composite(), zoomPicture_);
      preview_.SetBitmap(previewPicture_);
      zoomView_.SetBitmap(zoomPicture_);
    } else {
      preview_.SetBitmap(session_.Composite());
      zoomView_.SetBitmap(session_.Zoomed());
    }
  }
  if (changed.selection) selectionFrame_.SetDesign(pg::Session::SelectionFrame(session_.Selected()));
  if (changed.history) {
    undoItem_.SetEnabled(session_.CanUndo());
    redoItem_.SetEnabled(session_.CanRedo());
  }
  if (changed.Any()) Update();
}

void TForm1::ShowHints() {
  for (const pg::Slot slot : {pg::Slot::kUpper, pg::Slot::kLower}) {
    const UINT id = static_cast<UINT>(slot);
    if (session_.HoldsStartPicture(slot))
      hints_.SetTip(id, (slot == pg::Slot::kUpper ? upperSlot_ : lowerSlot_).Bounds(), kSlotHint);
    else
      hints_.RemoveTip(id);
  }
}

LRESULT TForm1::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  hints_.Relay(msg, wp, lp);
  switch (msg) {
    case kOpenStartFiles:
      OpenStartFiles();
      return 0;
    case WM_CLOSE:
      // Nothing to tidy: bitmaps are converted in memory, so this program
      // leaves no temporary files behind, and a "~temp.bmp" in the current
      // folder is the user's own file, which closing must not delete.
      DestroyWindow(Handle());
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_CONTEXTMENU: {
      POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      if (pt.x == -1 && pt.y == -1) GetCursorPos(&pt);  // from the keyboard
      menu_.Popup(Handle(), pt);
      return 0;
    }
    case WM_COMMAND:
      if (lp == 0 && menu_.Dispatch(LOWORD(wp))) return 0;
      break;
    case WM_DROPFILES:
      OnDropFiles(msg, wp, lp);
      return 0;
    case WM_KEYDOWN:
      if (OnKeyDown(wp)) return 0;
      break;
    case WM_DPICHANGED:
      OnDpiChanged(wp, lp);
      return 0;
    default:
      break;
  }
  return Form::HandleMessage(msg, wp, lp);
}

// The title strip: the left button hands the window to the system's move
// loop, as if a caption bar had been grabbed.
void TForm1::OnTitleStripMouseDown(MouseButton button) {
  if (button != MouseButton::kLeft) return;
  ReleaseCapture();
  SendMessageW(Handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void TForm1::OnCloseClick() { PostMessageW(Handle(), WM_CLOSE, 0, 0); }

void TForm1::OnMinimizeClick() { minimizer_.Minimize(); }

void TForm1::OnStayOnTopClick() {
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
  stayOnTopItem_.SetChecked(stayOnTop_);
  // The window is not made anew here, so its registration still holds;
  // renewing it costs nothing and keeps drops arriving whatever the switch
  // does on a given system.
  drops_.AcceptFiles();
}

bool TForm1::TranslateShortcut(MSG& msg) const noexcept {
  return Handle() && Accelerators() && GetActiveWindow() == Handle() &&
         TranslateAcceleratorW(Handle(), Accelerators(), &msg);
}

// The layer rebuild: clean masks from both slot icons, then the composite
// with the stored offsets.
void TForm1::OnRebuildClick() { Paint(session_.Rebuild()); }

void TForm1::ShowZoomCursor() {
  zoomView_.SetCursor(session_.Dragging() ? closedHand_.get() : openHand_.get());
  POINT pt;
  GetCursorPos(&pt);
  SetCursorPos(pt.x, pt.y);
}

void TForm1::OnZoomMouseDown(MouseButton button, int x, int y) {
  if (button != MouseButton::kLeft) return;
  const pg::Changes changed = session_.Press(x, y);
  ReleaseCaptureKeepingControl();
  ShowZoomCursor();
  Paint(changed);
  SetCapture(Handle());
}

void TForm1::OnZoomMouseMove(int x, int y) { Paint(session_.Move(x, y)); }

void TForm1::OnZoomMouseUp() {
  const pg::Changes changed = session_.Release();
  ReleaseCapture();
  Paint(changed);
  ShowZoomCursor();
}

// Another window took the pointer in mid-drag (a system dialog, a window
// switch): the drag ends as if released, so it never hangs on.
void TForm1::OnZoomCaptureLost() {
  Paint(session_.CaptureLost());
  zoomView_.SetCursor(openHand_.get());
}

void TForm1::OnUndoClick() { Paint(session_.Undo()); }

void TForm1::OnRedoClick() { Paint(session_.Redo()); }

// Keys the menu's accelerators leave: Ctrl+Shift+Z, and the arrows with or
// without Shift. They reach this window only while it has the keyboard, that
// is while it is the active window.
bool TForm1::OnKeyDown(WPARAM key) {
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const bool alt = GetKeyState(VK_MENU) < 0;
  if (key == 'Z' && ctrl && shift && !alt) {
    OnRedoClick();
    return true;
  }
  pg::Arrow arrow;
  switch (key) {
    case VK_LEFT: arrow = pg::Arrow::kLeft; break;
    case VK_UP: arrow = pg::Arrow::kUp; break;
    case VK_RIGHT: arrow = pg::Arrow::kRight; break;
    case VK_DOWN: arrow = pg::Arrow::kDown; break;
    default: return false;
  }
  if (ctrl || alt) return false;
  Paint(session_.Nudge(arrow, shift, static_cast<std::int64_t>(GetTickCount64())));
  return true;
}

void TForm1::OnSaveMouseDown(ShiftState shift) {
  session_.SaveButtonPressed(ShiftAndLeftOnly(shift));
}

void TForm1::OnSaveClick() {
  session_.BeginSave();
  static constexpr wchar_t kFilter[] =
      L"8bit icon file (256color)\0*.ico\0"
      L"24bit icon file (true color)\0*.ico\0"
      L"all types\0*.*\0"
      // Beyond the three types above: every size the shell shows, composed
      // from the sources' own images, with alpha.
      L"multi-size icon (16-256, 32-bit)\0*.ico\0";
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring folder = pgw::ToWide(session_.DialogFolder());
  OPENFILENAMEW ofn =
      FileDialog(Handle(), kFilter, static_cast<DWORD>(session_.DialogType()), file, folder);
  ofn.lpstrDefExt = L"ico";
  ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&ofn)) return;
  const auto type = ofn.nFilterIndex >= 1 && ofn.nFilterIndex <= 4
                        ? static_cast<pg::SaveType>(ofn.nFilterIndex)
                        : pg::SaveType::kAllTypes;
  const std::wstring name(file.data());
  ShowProgress(kSaving);
  const std::vector<std::uint8_t> bytes =
      session_.SaveBytes(type, [this](int percent) { SetProgress(percent); });
  if (WriteOver(name, bytes)) session_.Saved(pgw::ToU16(name));
}

bool TForm1::WriteOver(const std::wstring& fileName, const std::vector<std::uint8_t>& bytes) {
  // Written beside the target first: a failed write leaves an existing file
  // as it was.
  const pg::OutputFile out{std::filesystem::path(fileName), bytes};
  const pg::WriteResult w = pg::WriteFilesReplacing(std::span<const pg::OutputFile>(&out, 1));
  HideProgress();
  if (w.ok()) return true;
  // The core's sentence and the system's own reason, in UTF-8.
  const std::string text8 = w.Text();
  ShowFileError(fileName, kCannotCreate, pgw::FromUtf8(text8));
  return false;
}

void TForm1::ShowFileError(const std::wstring& fileName, const wchar_t* failed,
                           std::wstring reason) {
  pgw::ShowError(Handle(), pgw::FileErrorText(fileName, failed, std::move(reason)));
}

void TForm1::ShowProgress(const wchar_t* caption) {
  gauge_.SetProgress(0);
  gauge_.SetVisible(true);
  gaugeCaption_.SetCaption(caption);
  gaugeCaption_.SetVisible(true);
  Update();
}

void TForm1::SetProgress(int percent) {
  gauge_.SetProgress(percent);
  Update();
}

void TForm1::HideProgress() {
  gauge_.SetVisible(false);
  gaugeCaption_.SetVisible(false);
  gaugeCaption_.SetCaption(kLoading);
  Update();
}

// The composite exactly as the preview shows it, the key colour included.
// Slots and offsets stay as they are. A clipboard that stays busy is told,
// so a copy that did not happen is never taken for one that did.
void TForm1::OnCopyClick() {
  const pgw::ClipboardError error = pgw::PutClipboardPicture(Handle(), session_.Composite());
  if (error != pgw::ClipboardError::kNone)
    pgw::ShowError(Handle(), pgw::ClipboardErrorText(error));
}

// The picture is read and turned into an icon before the slot gives
// anything up, so a clipboard without a readable picture changes nothing.
void TForm1::OnPasteClick(pg::Slot slot) {
  pgw::ClipboardPicture got = pgw::ReadClipboardPicture(Handle());
  if (!got) {
    pgw::ShowError(Handle(), pgw::ClipboardErrorText(got.error, got.detail));
    return;
  }
  Paint(session_.PutIcon(slot, pg::SlotContent{pg::PastedIcon(got.picture),
                                               pg::PastedSlotSource(got.picture)}));
}

// The composite becomes the lower icon, as a saved 24-bit icon file dropped
// on the lower slot would, and the upper slot is freed. The preview keeps
// every pixel. All of it happens in memory.
void TForm1::OnMergeClick() {
  ShowProgress(kSaving);
  const pg::Result<pg::Changes> merged =
      session_.Merge([this](int percent) { SetProgress(percent); });
  HideProgress();
  if (!merged) {
    pgw::ShowError(Handle(), L"The icons cannot be merged.\n\n" +
                                 Capitalised(pg::ErrorText(merged.error())) + L".");
    return;
  }
  Paint(*merged);
}

// A drop: the session says which slot box it landed on and how its file is
// read. Each file is read and parsed once.
void TForm1::OnDropFiles(UINT msg, WPARAM wp, LPARAM lp) {
  drops_.ReadDrop(msg, wp, lp);
  // While the picker fills its list the drop is left alone: a second fill
  // must neither restart nor interleave with the one under way.
  if (picker_.Filling()) return;
  const std::wstring fileName = drops_.FileName;
  const pg::DropPlan plan =
      session_.PlanDrop(pgw::ToU16(fileName), {drops_.DropPoint.x, drops_.DropPoint.y});
  if (plan.slot && !PutFileInSlot(*plan.slot, fileName)) return;
  // The next save starts where the dropped file lies.
  session_.FollowDroppedFile(pgw::ToU16(fileName));
}

// The system's Open dialog for one slot, starting where the save dialog
// would; the chosen file goes in as a drop of it on that slot would.
void TForm1::OnOpenClick(pg::Slot slot) {
  if (picker_.Filling()) return;
  static constexpr wchar_t kFilter[] =
      L"icon sources\0*.ico;*.cur;*.ani;*.png;*.bmp;*.pac;*.exe;*.dll;*.icl\0"
      L"all files\0*.*\0";
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring folder = pgw::ToWide(session_.DialogFolder());
  OPENFILENAMEW ofn = FileDialog(Handle(), kFilter, 1, file, folder);
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER |
              OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&ofn)) return;
  const std::wstring fileName(file.data());
  if (PutFileInSlot(slot, fileName)) session_.FollowDroppedFile(pgw::ToU16(fileName));
}

// A packed bitmap is converted in memory and, like every other file that
// holds icons, offered in the picker.
bool TForm1::PutFileInSlot(pg::Slot slot, const std::wstring& fileName) {
  switch (pg::Session::PlanOpen(pgw::ToU16(fileName), slot).route) {
    case pg::DropRoute::kIconFile:
      return LoadIconFile(slot, fileName);
    case pg::DropRoute::kPackedBitmap: {
      // Converted in memory: no temporary bitmap in the current folder,
      // where it could overwrite a file of the user's.
      auto source = pg::OpenSlotSourceFile(std::filesystem::path(fileName));
      if (!source) {
        ShowFileError(fileName, kCannotOpen, pgw::Widen(pg::ErrorText(source.error())));
        return false;
      }
      OfferInPicker(slot, fileName, std::move(*source));
      return true;
    }
    case pg::DropRoute::kOther:
      return OpenIconPicker(slot, fileName);
  }
  return true;
}

// An icon file is read and decoded whole before the slot gives anything
// up, so a damaged file leaves the slot, its offsets and the composite as
// they were.
bool TForm1::LoadIconFile(pg::Slot slot, const std::wstring& fileName) {
  auto bytes = pg::MappedFile::Open(std::filesystem::path(fileName));
  auto icon = bytes ? pg::ReadIcoFile(bytes->Data()) : pg::Result<pg::Icon>(bytes.error());
  if (!icon) {
    ShowFileError(fileName, kCannotOpen, pgw::Widen(pg::ErrorText(icon.error())));
    return false;
  }
  // Every image of the file serves the sizes other than 32x32.
  auto images = pg::ReadIcoSlotSource(bytes->Data(), false);
  Paint(session_.PutIcon(slot, images ? pg::SlotContent{std::move(*icon), std::move(*images)}
                                      : pg::ContentOfIcon(std::move(*icon))));
  return true;
}

// A file that is no icon source, or holds no icons, is passed over without
// a word, as the shell passes over it; one that cannot be read at all (a
// name on the command line that names no file) is refused with the reason.
bool TForm1::OpenIconPicker(pg::Slot slot, const std::wstring& fileName) {
  auto source = pgw::OpenIconFile(fileName);
  if (source) {
    OfferInPicker(slot, fileName, std::move(*source));
    return true;
  }
  if (!pg::Session::FileUnreadable(source.error())) return true;
  ShowFileError(fileName, kCannotOpen, pgw::Widen(pg::ErrorText(source.error())));
  return false;
}

void TForm1::OfferInPicker(pg::Slot slot, const std::wstring& shownName,
                           std::unique_ptr<pg::IconSource> source) {
  if (source->Count() < 1) return;
  // A picker still open for an earlier file closes and opens afresh.
  picker_.Hide();
  gauge_.SetVisible(true);
  gaugeCaption_.SetCaption(kLoading);
  gaugeCaption_.SetVisible(true);
  Update();
  picker_.ShowFor(slot, shownName, std::move(source));
}

void TForm1::TakePickedIcon(pg::Slot slot, pg::SlotContent content) {
  Paint(session_.PutIcon(slot, std::move(content)));
}

// The command line's next file, if one waits, once this has run its course;
// back to the top of the topmost windows, which the picker's own place
// there may have disturbed, with the drop registration renewed.
void TForm1::OnPickerHidden() {
  if (!startFiles_.empty()) PostMessageW(Handle(), kOpenStartFiles, 0, 0);
  if (!stayOnTop_) return;
  SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  drops_.AcceptFiles();
}
