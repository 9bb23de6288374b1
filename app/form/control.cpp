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

void Control::SetDesign(const Place& design) {
  design_ = design;
  const Place p = scale_.Of(design_);
  SetBounds(p.left, p.top, p.width, p.height);
}

void Control::SetScale(const pg::Scale& scale) {
  scale_ = scale;
  SetDesign(design_);
}

RECT Control::OutlineWidths() const noexcept {
  const Place& d = design_;
  return RECT{scale_.Edge(d.left + 1) - scale_.Edge(d.left),
              scale_.Edge(d.top + 1) - scale_.Edge(d.top),
              scale_.Edge(d.left + d.width) - scale_.Edge(d.left + d.width - 1),
              scale_.Edge(d.top + d.height) - scale_.Edge(d.top + d.height - 1)};
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
