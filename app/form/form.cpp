#include "form/form.h"

#include <windowsx.h>

#include <algorithm>
#include <exception>

#include "form/application.h"
#include "form/child_window.h"
#include "win/dib.h"
#include "win/messages.h"
#include "win/window_class.h"

namespace pgf {

ShiftState ShiftFromWParam(WPARAM wp, bool doubleClick) noexcept {
  ShiftState s;
  s.shift = (wp & MK_SHIFT) != 0;
  s.ctrl = (wp & MK_CONTROL) != 0;
  s.alt = GetKeyState(VK_MENU) < 0;
  s.left = (wp & MK_LBUTTON) != 0;
  s.right = (wp & MK_RBUTTON) != 0;
  s.middle = (wp & MK_MBUTTON) != 0;
  s.doubleClick = doubleClick;
  return s;
}

bool ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

Form::~Form() {
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

bool Form::CreateHandle(const wchar_t* className, const std::wstring& caption, HICON icon,
                        DWORD style, DWORD exStyle, int x, int y, int width, int height,
                        HWND owner) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!pgw::RegisterWindowClass({className, &Form::WindowProc, CS_DBLCLKS, icon, icon,
                                 LoadCursorW(nullptr, IDC_ARROW)}))
    return false;
  // The window procedure stores `this` at WM_NCCREATE.
  CreateWindowExW(exStyle, className, caption.c_str(), style, x, y, width, height, owner,
                  nullptr, instance, this);
  return hwnd_ != nullptr;
}

void Form::AddControl(Control& c) {
  c.form_ = this;
  controls_.push_back(&c);
}

void Form::AddChild(ChildWindow& child) { children_.push_back(&child); }

void Form::RemoveChild(ChildWindow& child) noexcept {
  children_.erase(std::remove(children_.begin(), children_.end(), &child), children_.end());
  if (focusChild_ == &child) focusChild_ = nullptr;
}

void Form::SetFocusChild(ChildWindow* child) noexcept {
  focusChild_ = child;
  if (child && child->Handle() && GetActiveWindow() == hwnd_) SetFocus(child->Handle());
}

ChildWindow* Form::ChildOf(HWND hwnd) const noexcept {
  if (!hwnd) return nullptr;
  for (ChildWindow* c : children_)
    if (c->Handle() == hwnd) return c;
  return nullptr;
}

void Form::InvalidateRect(const RECT& r) noexcept {
  if (hwnd_) ::InvalidateRect(hwnd_, &r, FALSE);
}

void Form::Update() noexcept {
  if (hwnd_) UpdateWindow(hwnd_);
}

void Form::ReleaseCaptureKeepingControl() noexcept {
  ownRelease_ = true;
  ::ReleaseCapture();
  ownRelease_ = false;
}

Control* Form::ControlAt(int clientX, int clientY) const noexcept {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
    if ((*it)->TakesMouse() && (*it)->Contains(clientX, clientY)) return *it;
  return nullptr;
}

Control* Form::ControlUnderPointer() const noexcept {
  if (capture_) return capture_;
  POINT pt;
  if (!hwnd_ || !GetCursorPos(&pt) || WindowFromPoint(pt) != hwnd_) return nullptr;
  ScreenToClient(hwnd_, &pt);
  return ControlAt(pt.x, pt.y);
}

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  Form* self = pgw::WindowObject(hwnd, msg, lp, &Form::hwnd_);
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT r = 0;
  try {
    r = self->HandleMessage(msg, wp, lp);
  } catch (const std::exception& e) {
    self->ShowException(e.what());
  } catch (...) {
    self->ShowException("unknown error");
  }
  // Whatever happened above, the form never outlives its window's pointer.
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
  }
  return r;
}

void Form::ShowException(const char* what) noexcept {
  // A handler that keeps failing (a paint, every pointer move) must not
  // stack one box on another, nor keep the pointer captured behind it.
  static bool showing = false;
  if (showing) return;
  showing = true;
  ::ReleaseCapture();
  pgw::ShowErrorUtf8(hwnd_, what);
  showing = false;
}

void Form::PaintBackground(HDC dc, const RECT& client) {
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
}

void Form::Paint() {
  pgw::PaintDc paint(hwnd_);
  RECT client;
  GetClientRect(hwnd_, &client);
  const int w = client.right - client.left, h = client.bottom - client.top;
  if (w <= 0 || h <= 0) return;
  // Everything goes to a memory bitmap first, so a drag repaints without
  // showing the layers being built up.
  if (!backDc_ || backWidth_ != w || backHeight_ != h) {
    backDc_.reset();  // lets go of the old bitmap before it is deleted
    std::uint32_t* bits = nullptr;
    backBitmap_ = pgw::MakeDibSection(w, h, bits);
    backDc_.reset(CreateCompatibleDC(paint.get()));
    if (!backDc_ || !backBitmap_) {
      backDc_.reset();
      return;
    }
    SelectObject(backDc_.get(), backBitmap_.get());
    backWidth_ = w;
    backHeight_ = h;
  }
  const pgw::unique_hdc& mem = backDc_;
  PaintBackground(mem.get(), client);
  for (Control* c : controls_) {
    if (!c->Visible()) continue;
    RECT r = c->Bounds(), overlap;
    if (!IntersectRect(&overlap, &r, &paint.Dirty())) continue;
    const int saved = SaveDC(mem.get());
    IntersectClipRect(mem.get(), r.left, r.top, r.right, r.bottom);
    c->Paint(mem.get());
    RestoreDC(mem.get(), saved);
  }
  const RECT& d = paint.Dirty();
  BitBlt(paint.get(), d.left, d.top, d.right - d.left, d.bottom - d.top, mem.get(), d.left,
         d.top, SRCCOPY);
}

void Form::SetHover(Control* c) noexcept {
  if (c == hover_) return;
  Control* old = hover_;
  hover_ = c;
  if (old) old->MouseLeave();
  if (hover_) hover_->MouseEnter();
}

void Form::MouseMoveMessage(WPARAM wp, LPARAM lp) {
  const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
  if (!trackingLeave_) {
    TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, hwnd_, 0};
    trackingLeave_ = TrackMouseEvent(&tme) != FALSE;
  }
  RECT client;
  GetClientRect(hwnd_, &client);
  const POINT pt{x, y};
  SetHover(PtInRect(&client, pt) ? ControlAt(x, y) : nullptr);
  Control* target = capture_ ? capture_ : ControlAt(x, y);
  if (target) target->MouseMove(ShiftFromWParam(wp), x - target->Left(), y - target->Top());
}

void Form::MouseButtonMessage(MouseButton button, bool down, bool dbl, WPARAM wp, LPARAM lp) {
  const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
  const ShiftState shift = ShiftFromWParam(wp, dbl);
  if (down) {
    Control* target = capture_ ? capture_ : ControlAt(x, y);
    if (!target) return;
    if (!capture_) {
      capture_ = target;
      SetCapture(hwnd_);
    }
    target->MouseDown(button, shift, x - target->Left(), y - target->Top());
    return;
  }
  // Any release ends the framework's capture before the control hears of it.
  Control* target = capture_ ? capture_ : ControlAt(x, y);
  if (capture_) {
    capture_ = nullptr;
    ReleaseCaptureKeepingControl();
  }
  if (target) target->MouseUp(button, shift, x - target->Left(), y - target->Top());
}

bool Form::SetCursorMessage() {
  Control* c = ControlUnderPointer();
  HCURSOR cur = c && c->Cursor() ? c->Cursor() : LoadCursorW(nullptr, IDC_ARROW);
  ::SetCursor(cur);
  return true;
}

LRESULT Form::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_MOUSEMOVE:
      MouseMoveMessage(wp, lp);
      return 0;
    case WM_MOUSELEAVE:
      trackingLeave_ = false;
      if (!capture_) SetHover(nullptr);
      return 0;
    case WM_LBUTTONDOWN: MouseButtonMessage(MouseButton::kLeft, true, false, wp, lp); return 0;
    case WM_LBUTTONDBLCLK: MouseButtonMessage(MouseButton::kLeft, true, true, wp, lp); return 0;
    case WM_RBUTTONDOWN: MouseButtonMessage(MouseButton::kRight, true, false, wp, lp); return 0;
    case WM_RBUTTONDBLCLK: MouseButtonMessage(MouseButton::kRight, true, true, wp, lp); return 0;
    case WM_MBUTTONDOWN: MouseButtonMessage(MouseButton::kMiddle, true, false, wp, lp); return 0;
    case WM_MBUTTONDBLCLK: MouseButtonMessage(MouseButton::kMiddle, true, true, wp, lp); return 0;
    case WM_LBUTTONUP: MouseButtonMessage(MouseButton::kLeft, false, false, wp, lp); return 0;
    case WM_MBUTTONUP: MouseButtonMessage(MouseButton::kMiddle, false, false, wp, lp); return 0;
    case WM_RBUTTONUP:
      MouseButtonMessage(MouseButton::kRight, false, false, wp, lp);
      break;  // DefWindowProcW turns it into WM_CONTEXTMENU
    case WM_CAPTURECHANGED:
      if (!ownRelease_ && capture_ && reinterpret_cast<HWND>(lp) != hwnd_) {
        Control* lost = capture_;
        capture_ = nullptr;
        lost->CaptureLost();
      }
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lp);
      if (ChildWindow* c = header ? ChildOf(header->hwndFrom) : nullptr) return c->Notify(*header);
      break;
    }
    case WM_COMMAND:
      if (ChildWindow* c = ChildOf(reinterpret_cast<HWND>(lp))) {
        c->Command(HIWORD(wp));
        return 0;
      }
      break;
    case WM_SETFOCUS:
      if (focusChild_ && focusChild_->Handle()) {
        SetFocus(focusChild_->Handle());
        return 0;
      }
      break;
    case WM_SHOWWINDOW:
      // Hidden with the pointer on a control (the minimize button): no
      // WM_MOUSELEAVE follows, so the control would still look hot when
      // the window comes back.
      if (!wp && !capture_) {
        SetHover(nullptr);
        trackingLeave_ = false;
      }
      break;
    case WM_SYSCOMMAND:
      // The main form minimizes the whole program: the application window
      // holds the taskbar button and hides every form it owns.
      if ((wp & 0xFFF0) == SC_MINIMIZE) {
        const Application* app = Application::Current();
        if (app && app->Handle() && app->MainForm() == this) {
          if (!IsIconic(app->Handle())) SendMessageW(app->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
          return 0;
        }
      }
      break;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wp) == hwnd_ && LOWORD(lp) == HTCLIENT && SetCursorMessage())
        return TRUE;
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace pgf
