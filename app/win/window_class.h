// Registering a window class once per program.
#pragma once

#include "win/handles.h"

namespace pgw {

struct WindowClass {
  const wchar_t* name;
  WNDPROC procedure;
  UINT style = 0;
  HICON icon = nullptr;
  HICON smallIcon = nullptr;  // the large icon when null
  HCURSOR cursor = nullptr;
};

// Registers the class unless this program already has it; false when it
// can be neither found nor registered.
inline bool RegisterWindowClass(const WindowClass& c) noexcept {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(instance, c.name, &wc)) return true;
  wc = WNDCLASSEXW{};
  wc.cbSize = sizeof wc;
  wc.style = c.style;
  wc.lpfnWndProc = c.procedure;
  wc.hInstance = instance;
  wc.hIcon = c.icon;
  wc.hIconSm = c.smallIcon ? c.smallIcon : c.icon;
  wc.hCursor = c.cursor;
  wc.lpszClassName = c.name;
  return RegisterClassExW(&wc) != 0;
}

// The object a window procedure serves: CreateWindowExW's last argument,
// taken at WM_NCCREATE (its `handle` member set to the window, the pointer
// kept in GWLP_USERDATA) and read back for every later message; null before
// WM_NCCREATE and once the procedure has cleared GWLP_USERDATA.
template <class T>
T* WindowObject(HWND hwnd, UINT msg, LPARAM lp, HWND T::*handle) noexcept {
  if (msg != WM_NCCREATE) return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  auto* self = static_cast<T*>(reinterpret_cast<const CREATESTRUCTW*>(lp)->lpCreateParams);
  self->*handle = hwnd;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  return self;
}

}  // namespace pgw
