#include "form/child_window.h"

#include "form/form.h"

namespace pgf {

ChildWindow::~ChildWindow() {
  if (form_) form_->RemoveChild(*this);
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

bool ChildWindow::Create(Form& form, const wchar_t* className, DWORD style, DWORD exStyle,
                         Place place, int id) {
  if (hwnd_ || !form.Handle()) return false;
  hwnd_ = CreateWindowExW(exStyle, className, L"", style | WS_CHILD, place.left, place.top,
                          place.width, place.height, form.Handle(),
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                          GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) return false;
  form_ = &form;
  form.AddChild(*this);
  return true;
}

LRESULT ChildWindow::Notify(const NMHDR&) { return 0; }

void ChildWindow::Command(WORD) {}

}  // namespace pgf
