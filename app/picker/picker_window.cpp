#include "picker/picker_window.h"

#include <commctrl.h>

#include "icon_intake.h"
#include "win/fonts.h"
#include "win/messages.h"
#include "win/strings.h"

namespace {

constexpr wchar_t kClassName[] = L"TessaryIconPicker";
constexpr int kListId = 100;

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
  font_ = pgw::MakeUiFont(12);
  for (pgf::SpeedButton* b : {&selectButton_, &cancelButton_, &smallIconButton_})
    b->SetFont(font_.get());
  if (!iconList_.Create(*this, picker_layout::ListView1, kListId) ||
      !iconImages_.Create(pg::kCellSize))
    return false;
  SendMessageW(iconList_.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  iconList_.SetLargeImages(iconImages_);
  SetFocusChild(&iconList_);
  return true;
}

bool TForm2::Visible() const noexcept { return Handle() && IsWindowVisible(Handle()); }

void TForm2::ShowFor(pg::Slot slot, std::wstring sourceFile,
                     std::unique_ptr<pg::IconSource> source) {
  if (!Handle() || filling_) return;
  targetSlot_ = slot;
  sourceFile_ = std::move(sourceFile);
  source_ = std::move(source);
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
  iconImages_.Clear();
  const int count = source_ ? source_->Count() : 0;
  for (int i = 0; i < count; ++i) {
    // An icon that cannot be decoded keeps its place, with an empty image,
    // so every caption still names the icon of that index.
    auto icon = source_->Extract(i, pg::kCellSize);
    const int image = icon ? iconImages_.Add(*icon) : -1;
    iconList_.AddItem(std::to_wstring(i), image);
    if (OnFillProgress) OnFillProgress(pg::FillProgress(i, count));
    if (!pgf::ProcessMessages() || !Handle()) break;
  }
  if (Handle()) SetWindowTextW(Handle(), sourceFile_.c_str());
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
  return Form::HandleMessage(msg, wp, lp);
}
