#include "picker/picker_window.h"

#include <commctrl.h>

#include "imaging/icon_intake.h"
#include "win/fonts.h"
#include "win/strings.h"

namespace {

constexpr wchar_t kClassName[] = L"TessaryIconPicker";
constexpr int kClientWidth = 268;
constexpr int kClientHeight = 194;
constexpr pgf::Place kListPlace{8, 8, 249, 161};
constexpr int kListId = 100;

}  // namespace

TForm2::TForm2(PickerHost& host) : host_(host) {
  for (Control* c : {static_cast<Control*>(&SpeedButton2), static_cast<Control*>(&SpeedButton3),
                     static_cast<Control*>(&SpeedButton1)})
    AddControl(*c);
  SpeedButton2.SetCaption(L"cancel");
  SpeedButton3.SetCaption(L"as small icon");
  SpeedButton1.SetCaption(L"select");
  SpeedButton1.OnClick = [this](Control& s) { SpeedButton1Click(s); };
  SpeedButton2.OnClick = [this](Control& s) { SpeedButton2Click(s); };
  SpeedButton3.OnClick = [this](Control& s) { SpeedButton3Click(s); };
  ListView1.OnDblClick = [this](pgf::ListView& s) { ListView1DblClick(s); };
  // As in any dialog: Enter chooses, Esc cancels.
  ListView1.OnReturn = [this](pgf::ListView&) { SpeedButton1Click(SpeedButton1); };
  ListView1.OnEscape = [this](pgf::ListView&) { SpeedButton2Click(SpeedButton2); };
}

bool TForm2::CreateWindowHandle(HWND owner) {
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
  RECT r{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  if (!CreateHandle(kClassName, L"Form2", nullptr, style, exStyle, 0, 0, r.right - r.left,
                    r.bottom - r.top, owner))
    return false;
  font_ = pgw::MakeUiFont(12);
  for (pgf::SpeedButton* b : {&SpeedButton1, &SpeedButton2, &SpeedButton3})
    b->SetFont(font_.get());
  if (!ListView1.Create(*this, kListPlace, kListId) || !ImageList1.Create(pg::kCellSize))
    return false;
  SendMessageW(ListView1.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  ListView1.SetLargeImages(ImageList1);
  SetFocusChild(&ListView1);
  return true;
}

bool TForm2::Visible() const noexcept { return Handle() && IsWindowVisible(Handle()); }

void TForm2::ShowFor(int slot, std::wstring sourceFile, std::unique_ptr<pg::IconSource> source) {
  if (!Handle() || filling_) return;
  TargetSlot = slot;
  SourceFile = std::move(sourceFile);
  source_ = std::move(source);
  FormShow();
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
  SetFocus(ListView1.Handle());
}

void TForm2::Hide() {
  // The source keeps its file mapped, and the system refuses to shorten a
  // mapped file: let go of it with the window, so that other programs can
  // rewrite the file. Not while the list fills from it.
  if (!filling_) source_.reset();
  if (!Visible()) return;
  ShowWindow(Handle(), SW_HIDE);
  FormHide();
}

// Fills the list before the window comes on screen. The main window's
// gauge follows, and pending messages are handled after every icon so the
// main window keeps painting; the fill ends early only if the program is
// being closed meanwhile.
void TForm2::FormShow() {
  filling_ = true;
  ListView1.Clear();
  ImageList1.Clear();
  const int count = source_ ? source_->Count() : 0;
  for (int i = 0; i < count; ++i) {
    // An icon that cannot be decoded keeps its place, with an empty image,
    // so every caption still names the icon of that index.
    auto icon = source_->Extract(i, pg::kCellSize);
    const int image = icon ? ImageList1.Add(*icon) : -1;
    ListView1.AddItem(std::to_wstring(i), image);
    host_.ShowFillProgress(pg::FillProgress(i, count));
    if (!pgf::ProcessMessages() || !Handle()) break;
  }
  if (Handle()) SetWindowTextW(Handle(), SourceFile.c_str());
  host_.EndFillProgress();
  filling_ = false;
}

void TForm2::FormHide() { host_.PickerHidden(); }

void TForm2::ChooseSelected(int size) {
  if (TargetSlot != 1 && TargetSlot != 2) return;
  const int selected = ListView1.Selected();
  if (selected < 0) return;
  // The caption is checked before the slot gives up its icon: a caption
  // that names no icon must not leave the slot empty behind the old picture.
  const std::wstring caption = ListView1.Caption(selected);
  const auto index = pg::ParseIconIndex(pgw::ToU16(caption));
  if (!index) {
    const std::wstring text = L"'" + caption + L"' is not a valid integer value.";
    MessageBoxW(Handle(), text.c_str(), L"Pairglyph", MB_OK | MB_ICONERROR);
    return;
  }
  // A number the file has no icon for leaves the slot empty.
  auto content = source_ ? pg::ExtractSlotContent(*source_, *index, size == pg::kSmallSize)
                         : pg::Result<pg::SlotContent>(pg::Error::kNoSuchIcon);
  host_.PutPickedIcon(TargetSlot, content ? std::move(*content) : pg::SlotContent{});
  Hide();
}

void TForm2::ListView1DblClick(pgf::ListView&) { ChooseSelected(pg::kCellSize); }

void TForm2::SpeedButton1Click(Control&) { ListView1DblClick(ListView1); }

void TForm2::SpeedButton2Click(Control&) { Hide(); }

void TForm2::SpeedButton3Click(Control&) { ChooseSelected(pg::kSmallSize); }

LRESULT TForm2::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE) {
    Hide();  // the window lives as long as the program
    return 0;
  }
  return Form::HandleMessage(msg, wp, lp);
}
