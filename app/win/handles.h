// Owners for Win32 handles: one move-only unique_handle<> and one-line
// aliases. The three ways a DC is given back (DeleteDC, ReleaseDC, EndPaint)
// are distinct types so the wrong one cannot be called, and SelectGuard
// puts the previous object back into its DC.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <utility>

namespace pgw {

template <class Handle, class Closer>
class unique_handle {
 public:
  unique_handle() noexcept = default;
  explicit unique_handle(Handle h) noexcept : h_(h) {}
  ~unique_handle() { reset(); }
  unique_handle(const unique_handle&) = delete;
  unique_handle& operator=(const unique_handle&) = delete;
  unique_handle(unique_handle&& other) noexcept : h_(other.release()) {}
  unique_handle& operator=(unique_handle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Handle get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != Handle{}; }
  Handle release() noexcept { return std::exchange(h_, Handle{}); }
  void reset(Handle h = Handle{}) noexcept {
    if (h_ != Handle{}) Closer{}(h_);
    h_ = h;
  }

 private:
  Handle h_{};
};

struct IconCloser { void operator()(HICON h) const noexcept { DestroyIcon(h); } };
struct CursorCloser { void operator()(HCURSOR h) const noexcept { DestroyCursor(h); } };
struct GdiCloser { void operator()(HGDIOBJ h) const noexcept { DeleteObject(h); } };
struct DcCloser { void operator()(HDC h) const noexcept { DeleteDC(h); } };
struct KeyCloser { void operator()(HKEY h) const noexcept { RegCloseKey(h); } };
struct MenuCloser { void operator()(HMENU h) const noexcept { DestroyMenu(h); } };
struct AccelCloser { void operator()(HACCEL h) const noexcept { DestroyAcceleratorTable(h); } };
struct GlobalCloser { void operator()(HGLOBAL h) const noexcept { GlobalFree(h); } };

using unique_hicon = unique_handle<HICON, IconCloser>;
using unique_hcursor = unique_handle<HCURSOR, CursorCloser>;
using unique_hbitmap = unique_handle<HBITMAP, GdiCloser>;
using unique_hfont = unique_handle<HFONT, GdiCloser>;
using unique_hbrush = unique_handle<HBRUSH, GdiCloser>;
using unique_hpen = unique_handle<HPEN, GdiCloser>;
using unique_hdc = unique_handle<HDC, DcCloser>;  // CreateCompatibleDC
using unique_hkey = unique_handle<HKEY, KeyCloser>;
using unique_hmenu = unique_handle<HMENU, MenuCloser>;
using unique_haccel = unique_handle<HACCEL, AccelCloser>;
using unique_hpalette = unique_handle<HPALETTE, GdiCloser>;
// GlobalAlloc: a block handed to SetClipboardData is the system's from then
// on, so release() it after a successful call.
using unique_hglobal = unique_handle<HGLOBAL, GlobalCloser>;

// GetDC / ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND hwnd) noexcept : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
  ~WindowDc() { if (dc_) ReleaseDC(hwnd_, dc_); }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const noexcept { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// BeginPaint / EndPaint.
class PaintDc {
 public:
  explicit PaintDc(HWND hwnd) noexcept : hwnd_(hwnd) { dc_ = BeginPaint(hwnd_, &ps_); }
  ~PaintDc() { EndPaint(hwnd_, &ps_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  HDC get() const noexcept { return dc_; }
  const RECT& Dirty() const noexcept { return ps_.rcPaint; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
  HDC dc_ = nullptr;
};

// Selects an object into a DC and restores the previous one on scope exit.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(SelectObject(dc, obj)) {}
  ~SelectGuard() { if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_); }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// GlobalLock / GlobalUnlock. Size() is the block's size, which the system
// may have rounded up beyond what was asked for.
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL h) noexcept : h_(h), p_(h ? GlobalLock(h) : nullptr) {}
  ~GlobalLockGuard() { if (p_) GlobalUnlock(h_); }
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  explicit operator bool() const noexcept { return p_ != nullptr; }
  void* get() const noexcept { return p_; }
  SIZE_T Size() const noexcept { return p_ ? GlobalSize(h_) : 0; }

 private:
  HGLOBAL h_;
  void* p_;
};

}  // namespace pgw
