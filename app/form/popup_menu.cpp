#include "form/popup_menu.h"

namespace pgf {
namespace {

constexpr UINT kFirstId = 100;

std::wstring MenuText(const MenuItem& item) {
  std::wstring text = item.Caption();
  if (const Shortcut& keys = item.Keys(); keys.key) {
    text += keys.shift ? L"\tCtrl+Shift+" : L"\tCtrl+";
    text.push_back(static_cast<wchar_t>(keys.key));
  }
  return text;
}

}  // namespace

void MenuItem::SetEnabled(bool enabled) noexcept {
  enabled_ = enabled;
  if (menu_) EnableMenuItem(menu_, id_, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void MenuItem::SetChecked(bool checked) noexcept {
  checked_ = checked;
  if (menu_) CheckMenuItem(menu_, id_, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void PopupMenu::Build(const std::vector<MenuItem*>& items) {
  menu_.reset(CreatePopupMenu());
  items_.clear();
  std::vector<ACCEL> accels;
  UINT id = kFirstId;
  for (MenuItem* item : items) {
    if (!item) {
      AppendMenuW(menu_.get(), MF_SEPARATOR, 0, nullptr);
      continue;
    }
    item->id_ = id++;
    item->menu_ = menu_.get();
    UINT flags = MF_STRING;
    if (!item->enabled_) flags |= MF_GRAYED;
    if (item->checked_) flags |= MF_CHECKED;
    AppendMenuW(menu_.get(), flags, item->id_, MenuText(*item).c_str());
    // The table matches its modifiers exactly: Ctrl+O leaves Ctrl+Shift+O
    // to an item of its own.
    if (const Shortcut& keys = item->Keys(); keys.key)
      accels.push_back(ACCEL{static_cast<BYTE>(FVIRTKEY | FCONTROL | (keys.shift ? FSHIFT : 0)),
                             keys.key, static_cast<WORD>(item->id_)});
    items_.push_back(item);
  }
  accel_.reset(accels.empty() ? nullptr
                              : CreateAcceleratorTableW(accels.data(), static_cast<int>(accels.size())));
}

void PopupMenu::Popup(HWND owner, POINT screen) const noexcept {
  // Without this the menu stays open when the user clicks elsewhere.
  SetForegroundWindow(owner);
  TrackPopupMenu(menu_.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, screen.x, screen.y,
                 0, owner, nullptr);
  PostMessageW(owner, WM_NULL, 0, 0);
}

bool PopupMenu::Dispatch(UINT id) {
  for (MenuItem* item : items_) {
    if (item->Id() != id) continue;
    if (item->Enabled() && item->OnClick) item->OnClick(*item);
    return true;
  }
  return false;
}

}  // namespace pgf
