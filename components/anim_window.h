// TAnimateWindow: a non-visual component placed on a form. It makes the
// whole program minimize to its taskbar button and come back from it with
// the system's window animation, running between the main window's place
// and the button, and gives a borderless form (which has no minimize box of
// its own to click) a way to minimize itself.
//
// The program's application window (pgf::Application) holds the taskbar
// button and owns the forms, so minimizing it hides them all. The component
// sees the minimize and restore commands of the application window and of
// its form (window-procedure hooks that pass every message on), gives the
// application window the form's left, top and width, with height 0, for the
// moment of the command, and lets the system's default handling carry the
// command out: the system then animates between that strip and the button.
//
// The form's hook is put on by a child window of no size inside the form,
// TAnimateHookWnd, whenever that child is created, and taken off when it is
// destroyed; a child is destroyed before its parent, so the hook never
// outlives the form's window, and a form window made anew gets a new child
// and a new hook.
#pragma once

#include <windows.h>

#include <functional>

#include "win/subclass.h"

namespace pgf {
class Application;
class Form;
}  // namespace pgf

class TAnimateWindow;

class TAnimateHookWnd {
 public:
  explicit TAnimateHookWnd(TAnimateWindow& hookOwner) noexcept : HookOwner(hookOwner) {}
  ~TAnimateHookWnd();
  TAnimateHookWnd(const TAnimateHookWnd&) = delete;
  TAnimateHookWnd& operator=(const TAnimateHookWnd&) = delete;

  // Creates the window at 0, 0 inside `parent`, visible, of no size.
  bool SetParent(HWND parent);
  HWND Handle() const noexcept { return hwnd_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;

  TAnimateWindow& HookOwner;
  HWND hwnd_ = nullptr;
};

class TAnimateWindow {
 public:
  using TNotifyEvent = std::function<void(pgf::Application& sender)>;

  // Places the component on `owner`. A form holds one at most: a second
  // fails with a std::runtime_error and leaves the first as it was.
  explicit TAnimateWindow(pgf::Form& owner);
  ~TAnimateWindow();
  TAnimateWindow(const TAnimateWindow&) = delete;
  TAnimateWindow& operator=(const TAnimateWindow&) = delete;

  // Called with the owner form's window once it exists: the hook window goes
  // inside it, and its creation hooks the form.
  void SetParentComponent(HWND parent);

  // Minimizes the program as the form's minimize command does; returns when
  // the program is minimized.
  void Minimize();

  // After the program was minimized or restored; the sender is the
  // application object.
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;

  // The error of a second component on one form, as UTF-8.
  static const char* const kOnePerForm;

 private:
  friend class TAnimateHookWnd;

  void HookForm();
  void UnhookForm();
  LRESULT FormWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT AppWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void AnimateMinimize();
  void AnimateRestore();

  static LRESULT CALLBACK FormProcInstance(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                           DWORD_PTR self) noexcept;
  static LRESULT CALLBACK AppProcInstance(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                          DWORD_PTR self) noexcept;

  pgf::Form* OwnerForm;
  pgw::WindowSubclass FormHook;  // on the owner form's window while it exists
  pgw::WindowSubclass AppHook;   // on the application window, by the main form's component
  TAnimateHookWnd HookWindow{*this};
};
