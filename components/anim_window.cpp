#include "components/anim_window.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "form/application.h"
#include "form/form.h"
#include "win/messages.h"
#include "win/window_class.h"

const char* const TAnimateWindow::kOnePerForm =
    "AnimateWindow\xE3\x81\xAF\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xBC\xE3\x83\xA0\xE3\x81\xAB"
    "\xE4\xB8\x80\xE3\x81\xA4\xE3\x81\x97\xE3\x81\x8B\xE7\xBD\xAE\xE3\x81\x91\xE3\x81\xBE"
    "\xE3\x81\x9B\xE3\x82\x93";  // "AnimateWindowはフォームに一つしか置けません"

namespace {

constexpr wchar_t kHookClassName[] = L"TAnimateHookWnd";
constexpr UINT_PTR kHookId = 1;

// The forms that already hold a component.
std::vector<const pgf::Form*> AnimatedForms;

bool IsAnimated(const pgf::Form* form) {
  return std::find(AnimatedForms.begin(), AnimatedForms.end(), form) != AnimatedForms.end();
}

// An event handler failed inside a window procedure: say so, as the form
// framework does, and let the message go on.
void ShowHandlerError(const char* what) noexcept { pgw::ShowErrorUtf8(nullptr, what); }

// A hook's handler, its exceptions shown instead of unwinding into the
// system; after one the message gets its default handling.
template <typename Handler>
LRESULT Guarded(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, Handler handler) noexcept {
  try {
    return handler();
  } catch (const std::exception& e) {
    ShowHandlerError(e.what());
  } catch (...) {
    ShowHandlerError("unknown error");
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

// ---- TAnimateHookWnd ----------------------------------------------------------------

TAnimateHookWnd::~TAnimateHookWnd() {
  if (hwnd_) DestroyWindow(hwnd_);  // WM_DESTROY takes the form's hook off
}

bool TAnimateHookWnd::SetParent(HWND parent) {
  if (hwnd_) DestroyWindow(hwnd_);
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!pgw::RegisterWindowClass({kHookClassName, &TAnimateHookWnd::WindowProc})) return false;
  CreateWindowExW(0, kHookClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent, nullptr,
                  instance, this);
  return hwnd_ != nullptr;
}

LRESULT CALLBACK TAnimateHookWnd::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  TAnimateHookWnd* self = pgw::WindowObject(hwnd, msg, lp, &TAnimateHookWnd::hwnd_);
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_CREATE: {
      const LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
      self->HookOwner.HookForm();
      return r;
    }
    case WM_DESTROY:
      self->HookOwner.UnhookForm();
      return DefWindowProcW(hwnd, msg, wp, lp);
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->hwnd_ = nullptr;
      return DefWindowProcW(hwnd, msg, wp, lp);
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

// ---- TAnimateWindow --------------------------------------------------------------------

TAnimateWindow::TAnimateWindow(pgf::Form& owner) : OwnerForm(&owner) {
  if (IsAnimated(OwnerForm)) {
    // The entry belongs to the first component, which keeps working.
    OwnerForm = nullptr;
    throw std::runtime_error(kOnePerForm);
  }
  // The first form created becomes the main window once it exists; its
  // component speaks for the whole program on the taskbar.
  pgf::Application* app = pgf::Application::Current();
  if (app && !app->MainForm())
    AppHook.Install(app->Handle(), &TAnimateWindow::AppProcInstance, kHookId,
                    reinterpret_cast<DWORD_PTR>(this));
  AnimatedForms.push_back(OwnerForm);
}

TAnimateWindow::~TAnimateWindow() {
  AppHook.Remove();
  if (auto it = std::find(AnimatedForms.begin(), AnimatedForms.end(), OwnerForm);
      it != AnimatedForms.end())
    AnimatedForms.erase(it);
  // HookWindow goes next and takes the form's hook with it.
}

void TAnimateWindow::SetParentComponent(HWND parent) {
  if (parent) HookWindow.SetParent(parent);
}

void TAnimateWindow::Minimize() {
  if (OwnerForm && OwnerForm->Handle())
    SendMessageW(OwnerForm->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

void TAnimateWindow::HookForm() {
  FormHook.Install(OwnerForm->Handle(), &TAnimateWindow::FormProcInstance, kHookId,
                   reinterpret_cast<DWORD_PTR>(this));
}

void TAnimateWindow::UnhookForm() { FormHook.Remove(); }

LRESULT CALLBACK TAnimateWindow::FormProcInstance(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp,
                                                  UINT_PTR, DWORD_PTR self) noexcept {
  return Guarded(hwnd, msg, wp, lp,
                 [&] { return reinterpret_cast<TAnimateWindow*>(self)->FormWindowProc(hwnd, msg, wp, lp); });
}

LRESULT CALLBACK TAnimateWindow::AppProcInstance(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp,
                                                 UINT_PTR, DWORD_PTR self) noexcept {
  return Guarded(hwnd, msg, wp, lp,
                 [&] { return reinterpret_cast<TAnimateWindow*>(self)->AppWindowProc(hwnd, msg, wp, lp); });
}

LRESULT TAnimateWindow::FormWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  pgf::Application* app = pgf::Application::Current();
  if (app && app->Handle()) {
    if (msg == WM_SYSCOMMAND && wp == SC_MINIMIZE) {
      if (app->MainForm() == OwnerForm)
        AnimateMinimize();
      else
        PostMessageW(app->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (msg == WM_WINDOWPOSCHANGING &&
               reinterpret_cast<const WINDOWPOS*>(lp)->flags == (SWP_NOSIZE | SWP_NOMOVE) &&
               IsIconic(app->Handle())) {
      // Only the place in the z-order changes, while the program is
      // minimized: someone wants the window in front, so bring the program
      // back.
      PostMessageW(app->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    }
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT TAnimateWindow::AppWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // The taskbar button sends its commands here.
  if (msg == WM_SYSCOMMAND) {
    if (wp == SC_MINIMIZE)
      AnimateMinimize();
    else if (wp == SC_RESTORE)
      AnimateRestore();
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

void TAnimateWindow::AnimateMinimize() {
  pgf::Application& app = *pgf::Application::Current();
  const HWND appWnd = app.Handle();
  // A disabled window does not minimize.
  if (!IsWindowEnabled(appWnd)) EnableWindow(appWnd, TRUE);
  RECT r{};
  GetWindowRect(OwnerForm->Handle(), &r);
  // The system hides the owned forms only when the window it minimizes is
  // the active one.
  SetForegroundWindow(appWnd);
  // The animation starts from the form's place: a strip as wide as the form.
  SetWindowPos(appWnd, nullptr, r.left, r.top, r.right - r.left, 0, SWP_NOZORDER);
  DefWindowProcW(appWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ShowWindow(appWnd, SW_MINIMIZE);
  if (OnMinimize) OnMinimize(app);
}

void TAnimateWindow::AnimateRestore() {
  pgf::Application& app = *pgf::Application::Current();
  const HWND appWnd = app.Handle();
  const HWND mainWnd = app.MainForm() ? app.MainForm()->Handle() : OwnerForm->Handle();
  WINDOWPLACEMENT mainPlace{};
  mainPlace.length = sizeof mainPlace;
  WINDOWPLACEMENT appPlace{};
  appPlace.length = sizeof appPlace;
  GetWindowPlacement(mainWnd, &mainPlace);
  GetWindowPlacement(appWnd, &appPlace);
  // The animation ends at the main window's place, as a strip as wide as it.
  appPlace.rcNormalPosition = mainPlace.rcNormalPosition;
  appPlace.rcNormalPosition.bottom = appPlace.rcNormalPosition.top;
  SetWindowPlacement(appWnd, &appPlace);
  SetForegroundWindow(appWnd);
  DefWindowProcW(appWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
  ShowWindow(appWnd, SW_RESTORE);
  SetWindowPos(appWnd, nullptr, 0, 0, 0, 0, SWP_NOZORDER);
  if (!IsWindowVisible(mainWnd)) ShowWindow(mainWnd, SW_RESTORE);
  if (OnRestore) OnRestore(app);
}
