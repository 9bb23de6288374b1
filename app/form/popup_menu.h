// A pop-up menu whose items carry their shortcuts; the same shortcuts make
// the accelerator table of the message loop. A disabled item is greyed and
// its shortcut does nothing.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "win/handles.h"

namespace pgf {

// A menu item's shortcut: a virtual-key code (a letter's capital) with
// Ctrl, and with Shift as well when `shift`; key 0 for none.
struct Shortcut {
  Shortcut(WORD virtualKey = 0, bool withShift = false) noexcept
      : key(virtualKey), shift(withShift) {}
  WORD key;
  bool shift;
};

inline Shortcut CtrlShift(WORD key) noexcept { return Shortcut(key, true); }

class MenuItem {
 public:
  MenuItem(std::wstring caption, Shortcut shortcut = {}, int tag = 0)
      : caption_(std::move(caption)), shortcut_(shortcut), tag_(tag) {}
  MenuItem(const MenuItem&) = delete;
  MenuItem& operator=(const MenuItem&) = delete;

  const std::wstring& Caption() const noexcept { return caption_; }
  const Shortcut& Keys() const noexcept { return shortcut_; }
  int Tag() const noexcept { return tag_; }
  UINT Id() const noexcept { return id_; }

  bool Enabled() const noexcept { return enabled_; }
  void SetEnabled(bool enabled) noexcept;
  bool Checked() const noexcept { return checked_; }
  void SetChecked(bool checked) noexcept;

  std::function<void(MenuItem&)> OnClick;

 private:
  friend class PopupMenu;
  std::wstring caption_;
  Shortcut shortcut_;
  int tag_;
  UINT id_ = 0;
  bool enabled_ = true;
  bool checked_ = false;
  HMENU menu_ = nullptr;
};

class PopupMenu {
 public:
  PopupMenu() = default;
  PopupMenu(const PopupMenu&) = delete;
  PopupMenu& operator=(const PopupMenu&) = delete;

  // Items and separators (nullptr), in menu order; builds the menu and the
  // accelerator table.
  void Build(const std::vector<MenuItem*>& items);

  HACCEL Accelerators() const noexcept { return accel_.get(); }
  // Shows the menu at a screen point; the choice arrives as WM_COMMAND.
  void Popup(HWND owner, POINT screen) const noexcept;
  // WM_COMMAND from the menu or an accelerator: runs an enabled item's
  // handler. False when `id` is none of this menu's items.
  bool Dispatch(UINT id);

 private:
  std::vector<MenuItem*> items_;
  pgw::unique_hmenu menu_;
  pgw::unique_haccel accel_;
};

}  // namespace pgf
