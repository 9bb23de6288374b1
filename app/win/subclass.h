// One window-procedure hook put on with SetWindowSubclass and taken off when
// its owner goes. Hooks made this way stack: several can sit on one window
// and come off in any order without breaking each other.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace pgw {

class WindowSubclass {
 public:
  WindowSubclass() = default;
  ~WindowSubclass() { Remove(); }
  WindowSubclass(const WindowSubclass&) = delete;
  WindowSubclass& operator=(const WindowSubclass&) = delete;

  bool Install(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data) noexcept {
    Remove();
    if (!hwnd || !SetWindowSubclass(hwnd, proc, id, data)) return false;
    hwnd_ = hwnd;
    proc_ = proc;
    id_ = id;
    return true;
  }

  // The system removes every hook of a window when it is destroyed; a hook
  // that outlives its window has nothing left to take off.
  void Remove() noexcept {
    if (hwnd_ && IsWindow(hwnd_)) RemoveWindowSubclass(hwnd_, proc_, id_);
    hwnd_ = nullptr;
  }

  HWND Window() const noexcept { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
  SUBCLASSPROC proc_ = nullptr;
  UINT_PTR id_ = 0;
};

}  // namespace pgw
