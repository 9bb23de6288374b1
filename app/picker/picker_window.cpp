#include "picker/picker_window.h"

#include <commctrl.h>

#include <utility>

#include "imaging/icon_intake.h"
#include "imaging/scale.h"
#include "win/fonts.h"
#include "win/messages.h"
#include "win/strings.h"

namespace {

constexpr wchar_t kClassName[] = L"TessaryIconPicker";
constexpr int kListId = 100;
constexpr int kFontHeight = 12;  // the UI font's cell at 100 %
constexpr UINT kBaseDpi = 96;     // 100 %

}  // namespace

TForm2::TForm2() {
  for (Control* c : std::initializer_list<Control*>{&cancelButton_, &smallIconButton_,
                                                    &selectButton_})
    AddControl(*c);
  cancelButton_.SetCaption(L"cancel");
  smallIconButton_.SetCaption(L"as small icon");
  selectButton_.SetCaption(L"select");
  selectButton_.OnClick = [this](Control&) { OnSelectClick(); };
  cancelButton_.OnClick = [this](Control&) { OnCancelClick(); };
  smallIconButton_.OnClick = [this](Control&) { OnSmallIconClick(); };
  iconList_.OnDblClick = [this](pgf::ListView&) { OnSelectClick(); };
  // As in any dialog: Enter chooses, Esc cancels.
  iconList_.OnReturn = [this](pgf::ListView&) { OnSelectClick(); };
  iconList_.OnEscape = [this](pgf::ListView&) { OnCancelClick(); };
}

bool TForm2::CreateWindowHandle(HWND owner) {
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
  RECT r{0, 0, picker_layout::kClientWidth, picker_layout::kClientHeight};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  if (!CreateHandle(kClassName, L"Form2", nullptr, style, exStyle, 0, 0, r.right - r.left,
                    r.bottom - r.top, owner))
    return false;
  font_ = pgw::MakeUiFont(kFontHeight);
  for (pgf::SpeedButton* b : {&selectButton_, &cancelButton_, &smallIconButton_})
    b->SetFont(font_.get());
  if (!iconList_.Create(*this, picker_layout::ListView1, kListId) ||
      !iconImages_.Create(pg::kCellSize))
    return false;
  SendMessageW(iconList_.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  iconList_.SetLargeImages(iconImages_);
  SetFocusChild(&iconList_);
  // Made at 100 %; at another scale laid out anew before it is first shown.
  if (const UINT dpi = GetDpiForWindow(Handle()); pg::Scale::ForDpi(static_cast<int>(dpi)) != scale_)
    Relayout(dpi, nullptr);
  return true;
}

void TForm2::Relayout(UINT dpi, const RECT* suggested) {
  scale_ = pg::Scale::ForDpi(static_cast<int>(dpi));
  const HWND hwnd = Handle();
  // The window: the scaled client, with the frame of this DPI around it.
  const int clientW = scale_.Edge(picker_layout::kClientWidth);
  const int clientH = scale_.Edge(picker_layout::kClientHeight);
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
  RECT frame{0, 0, clientW, clientH};
  AdjustWindowRectExForDpi(&frame, style, FALSE, exStyle, dpi);
  RECT now;
  GetWindowRect(hwnd, &now);
  const POINT at = suggested ? POINT{suggested->left, suggested->top} : POINT{now.left, now.top};
  int w = frame.right - frame.left, h = frame.bottom - frame.top;
  SetWindowPos(hwnd, nullptr, at.x, at.y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  // A system whose frame is not the one it said (Wine draws its frame at
  // the session's DPI) still gets the client size right.
  RECT client;
  GetClientRect(hwnd, &client);
  if (client.right != clientW || client.bottom != clientH) {
    w += clientW - client.right;
    h += clientH - client.bottom;
    SetWindowPos(hwnd, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // The controls at their scaled places, in a font of the scale; the old
  // font goes once nothing uses it.
  iconList_.SetPlace(scale_.Of(picker_layout::ListView1));
  for (pgf::SpeedButton* b : {&cancelButton_, &smallIconButton_, &selectButton_})
    b->SetScale(scale_);
  pgw::unique_hfont font = pgw::MakeUiFont(scale_.Edge(kFontHeight));
  for (pgf::SpeedButton* b : {&selectButton_, &cancelButton_, &smallIconButton_})
    b->SetFont(font.get());
  iconList_.SetFont(font.get());
  font_ = std::move(font);

  // While the list fills, the fill makes its images anew at its end.
  if (!filling_) RemakeImages();
  // The view's own spacing is the system's icon spacing at the system's
  // DPI, too narrow or too wide on a display of another scale: the
  // spacing of 100 % at this one.
  iconList_.SetIconSpacing(scale_.Edge(GetSystemMetricsForDpi(SM_CXICONSPACING, kBaseDpi)),
                           scale_.Edge(GetSystemMetricsForDpi(SM_CYICONSPACING, kBaseDpi)));
  ::InvalidateRect(hwnd, nullptr, TRUE);
}

void TForm2::ResetImages(int capacity) {
  iconList_.DetachLargeImages();
  iconImages_.Create(IconSize(), capacity);
  iconList_.SetLargeImages(iconImages_);
}

void TForm2::RemakeImages() {
  if (iconImages_.Size() == IconSize()) return;
  const int count = iconList_.Count();
  ResetImages(count);
  if (!source_) return;  // hidden: the next fill makes them
  // Each item's icon is the one of its index, whatever its caption says now.
  for (int i = 0; i < count; ++i) {
    auto icon = pg::IconForScale(*source_, i, iconImages_.Size());
    iconList_.SetItemImage(i, icon ? iconImages_.Add(*icon) : -1);
  }
}

bool TForm2::Visible() const noexcept { return Handle() && IsWindowVisible(Handle()); }

void TForm2::ShowFor(pg::Slot slot, std::wstring sourceFile,
                     std::unique_ptr<pg::IconSource> source) {
  if (!Handle() || filling_) return;
  targetSlot_ = slot;
  sourceFile_ = std::move(sourceFile);
  source_ = std::move(source);
  // It may have gone to a display of another scale while it was hidden.
  if (const UINT dpi = GetDpiForWindow(Handle()); pg::Scale::ForDpi(static_cast<int>(dpi)) != scale_)
    Relayout(dpi, nullptr);
  Fill();
  if (!Handle()) return;  // the program was closed while the list filled
  if (!placed_) {
    // Centred the first time; afterwards it reopens where the user left it.
    RECT r;
    GetWindowRect(Handle(), &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    SetWindowPos(Handle(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    placed_ = true;
  }
  ShowWindow(Handle(), SW_SHOW);
  SetForegroundWindow(Handle());
  SetFocus(iconList_.Handle());
}

void TForm2::Hide() {
  // The source keeps its file mapped, and the system refuses to shorten a
  // mapped file: let go of it with the window, so that other programs can
  // rewrite the file. Not while the list fills from it.
  if (!filling_) source_.reset();
  if (!Visible()) return;
  ShowWindow(Handle(), SW_HIDE);
  if (OnHidden) OnHidden();
}

// Fills the list before the window comes on screen. The main window's
// gauge follows, and pending messages are handled after every icon so the
// main window keeps painting; the fill ends early only if the program is
// being closed meanwhile.
void TForm2::Fill() {
  filling_ = true;
  iconList_.Clear();
  const int count = source_ ? source_->Count() : 0;
  ResetImages(count);
  const int n = iconImages_.Size();
  for (int i = 0; i < count; ++i) {
    // An icon that cannot be decoded keeps its place, with an empty image,
    // so every caption still names the icon of that index.
    auto icon = pg::IconForScale(*source_, i, n);
    const int image = icon ? iconImages_.Add(*icon) : -1;
    iconList_.AddItem(std::to_wstring(i), image);
    if (OnFillProgress) OnFillProgress(pg::FillProgress(i, count));
    if (!pgf::ProcessMessages() || !Handle()) break;
  }
  if (Handle()) {
    SetWindowTextW(Handle(), sourceFile_.c_str());
    // Told of another DPI while it filled: the images at that scale.
    RemakeImages();
  }
  if (OnFillEnd) OnFillEnd();
  filling_ = false;
}

void TForm2::ChooseSelected(int size) {
  const int selected = iconList_.Selected();
  if (selected < 0) return;
  // The caption is checked before the slot gives up its icon: a caption
  // that names no icon must not leave the slot empty behind the old picture.
  const std::wstring caption = iconList_.Caption(selected);
  const auto index = pg::ParseIconIndex(pgw::ToU16(caption));
  if (!index) {
    const std::wstring text = L"'" + caption + L"' is not a valid integer value.";
    pgw::ShowError(Handle(), text);
    return;
  }
  // A number the file has no icon for leaves the slot empty.
  auto content = source_ ? pg::ExtractSlotContent(*source_, *index, size == pg::kSmallSize)
                         : pg::Result<pg::SlotContent>(pg::Error::kNoSuchIcon);
  if (OnPicked) OnPicked(targetSlot_, content ? std::move(*content) : pg::SlotContent{});
  Hide();
}

void TForm2::OnSelectClick() { ChooseSelected(pg::kCellSize); }

void TForm2::OnCancelClick() { Hide(); }

void TForm2::OnSmallIconClick() { ChooseSelected(pg::kSmallSize); }

LRESULT TForm2::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE) {
    Hide();  // the window lives as long as the program
    return 0;
  }
  if (msg == WM_DPICHANGED) {
    // Moved to a display of another scale: the new DPI, and the place the
    // system suggests for the window there.
    Relayout(LOWORD(wp), reinterpret_cast<const RECT*>(lp));
    return 0;
  }
  return Form::HandleMessage(msg, wp, lp);
}
