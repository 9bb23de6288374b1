#include "form/application.h"

#include "form/form.h"
#include "win/window_class.h"

namespace pgf {

namespace {
constexpr wchar_t kClassName[] = L"PairglyphApplication";
}

Application* Application::current_ = nullptr;

Application::Application(std::wstring title) : title_(std::move(title)) {
  if (!current_) current_ = this;
}

Application::~Application() {
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  if (current_ == this) current_ = nullptr;
}

bool Application::CreateHandle(HICON icon, HICON smallIcon) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!pgw::RegisterWindowClass({kClassName, &Application::WindowProc, 0, icon, smallIcon}))
    return false;
  // A caption, a system menu and a minimize box: the taskbar offers
  // "minimize" and "restore" for such a window, and the system animates its
  // minimize and restore. With no size it shows none of it.
  hwnd_ = CreateWindowExW(0, kClassName, title_.c_str(),
                          WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0,
                          nullptr, nullptr, instance, nullptr);
  if (!hwnd_) return false;
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  if (icon) SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  if (smallIcon) SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
  return true;
}

void Application::ShowTaskbarButton() noexcept {
  if (hwnd_) ShowWindow(hwnd_, SW_SHOWNA);
}

HWND Application::MainHandle() const noexcept { return mainForm_ ? mainForm_->Handle() : nullptr; }

LRESULT CALLBACK Application::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  auto* self = reinterpret_cast<Application*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->HandleMessage(msg, wp, lp);
}

LRESULT Application::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  switch (msg) {
    case WM_SYSCOMMAND:
      // Whoever handled the command before us (the minimize component) may
      // have carried it out already.
      if (wp == SC_MINIMIZE && IsIconic(hwnd_)) return 0;
      if (wp == SC_RESTORE && !IsIconic(hwnd_)) return 0;
      break;
    case WM_SETFOCUS:
      // The taskbar activates this window; the user works in the main one.
      if (HWND main = MainHandle(); main && IsWindowVisible(main) && IsWindowEnabled(main)) {
        SetFocus(main);
        return 0;
      }
      break;
    case WM_CLOSE:
      // "Close window" on the taskbar button closes the program the way its
      // own close button does; destroying this window would take the forms
      // with it behind their backs.
      if (HWND main = MainHandle()) {
        PostMessageW(main, WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace pgf
