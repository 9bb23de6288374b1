#include "form/control.h"

#include "form/form.h"

namespace pgf {

void Control::SetBounds(int left, int top, int width, int height) {
  Invalidate();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Invalidate();
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Invalidate();
}

void Control::SetCursor(HCURSOR cursor) noexcept {
  cursor_ = cursor;
  if (form_ && form_->ControlUnderPointer() == this && cursor_) ::SetCursor(cursor_);
}

void Control::MouseDown(MouseButton button, ShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(*this, button, shift, x, y);
}

void Control::MouseMove(ShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(*this, shift, x, y);
}

void Control::MouseUp(MouseButton button, ShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(*this, button, shift, x, y);
}

void Control::CaptureLost() {
  if (OnCaptureLost) OnCaptureLost(*this);
}

void Control::Click() {
  if (OnClick) OnClick(*this);
}

void Control::Invalidate() noexcept {
  if (form_) form_->InvalidateRect(Bounds());
}

}  // namespace pgf
