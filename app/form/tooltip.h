// The system's tooltip control over rectangles of one window: a tip shows
// its text while the pointer rests on its rectangle, whether or not the
// window is active.
#pragma once

#include <windows.h>

#include <string>

namespace pgf {

class ToolTip {
 public:
  ToolTip() = default;
  ~ToolTip();
  ToolTip(const ToolTip&) = delete;
  ToolTip& operator=(const ToolTip&) = delete;

  // Creates the control for `owner`'s client area; false if the system
  // made none, when every other call does nothing.
  bool Create(HWND owner);
  HWND Handle() const noexcept { return tip_; }

  // Tip `id` over `rect` (the owner's client pixels) with `text`, added or
  // brought up to date.
  void SetTip(UINT id, const RECT& rect, const std::wstring& text);
  // Tip `id` gone; nothing shows over its rectangle any more.
  void RemoveTip(UINT id);
  // The owner passes on its mouse messages: the control follows the
  // pointer through them. (Letting the control subclass the owner instead
  // is no good where removing one tip takes that subclass away from the
  // owner's other tips too, as under Wine.)
  void Relay(UINT msg, WPARAM wp, LPARAM lp) noexcept;

 private:
  bool HasTip(UINT id) const noexcept;

  HWND owner_ = nullptr;
  HWND tip_ = nullptr;
};

}  // namespace pgf
