// Windowless controls painted on their form. The form paints them in the
// order they were added and hands the mouse to the last painted one under
// the pointer first, so the order of the form's table is both.
#pragma once

#include <functional>

#include "session/layout.h"
#include "win/handles.h"

namespace pgf {

class Form;

enum class MouseButton { kLeft, kRight, kMiddle };

// A control's place in its form's client area.
using Place = pg::Place;

// The keys and buttons held with a mouse event.
struct ShiftState {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  bool left = false;
  bool right = false;
  bool middle = false;
  bool doubleClick = false;  // the second press of a double click
};

class Control {
 public:
  using MouseButtonHandler = std::function<void(Control&, MouseButton, ShiftState, int, int)>;
  using MouseMoveHandler = std::function<void(Control&, ShiftState, int, int)>;
  using NotifyHandler = std::function<void(Control&)>;

  Control(int left, int top, int width, int height, bool visible = true) noexcept
      : design_{left, top, width, height},
        left_(left),
        top_(top),
        width_(width),
        height_(height),
        visible_(visible) {}
  explicit Control(Place p, bool visible = true) noexcept
      : Control(p.left, p.top, p.width, p.height, visible) {}
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  int Left() const noexcept { return left_; }
  int Top() const noexcept { return top_; }
  int Width() const noexcept { return width_; }
  int Height() const noexcept { return height_; }
  bool Visible() const noexcept { return visible_; }
  RECT Bounds() const noexcept { return RECT{left_, top_, left_ + width_, top_ + height_}; }
  bool Contains(int clientX, int clientY) const noexcept {
    return clientX >= left_ && clientY >= top_ && clientX < left_ + width_ &&
           clientY < top_ + height_;
  }

  void SetBounds(int left, int top, int width, int height);
  void SetTop(int top) { SetBounds(left_, top, width_, height_); }
  void SetVisible(bool visible);

  // The control's place at 100 % and the display scale it is shown at: its
  // bounds are the place's edges at that scale.
  const Place& Design() const noexcept { return design_; }
  const pg::Scale& DisplayScale() const noexcept { return scale_; }
  // Moves the control to another place of the 100 % layout.
  void SetDesign(const Place& design);
  virtual void SetScale(const pg::Scale& scale);
  // A line of one layout pixel at the control's scale, in device pixels.
  int LineWidth() const noexcept { return scale_.Thickness(1); }
  // The control's own one-pixel outline at its scale: the device pixels
  // between the scaled edges of its outermost layout pixels, side by side.
  RECT OutlineWidths() const noexcept;

  HCURSOR Cursor() const noexcept { return cursor_; }
  // Shows the new cursor at once when the pointer is on this control.
  void SetCursor(HCURSOR cursor) noexcept;

  // Whether the control takes part in mouse routing at all.
  virtual bool TakesMouse() const noexcept { return visible_; }

  // Paints at the control's own place in client coordinates.
  virtual void Paint(HDC dc) = 0;

  // Called by the form; mouse positions are in the control's coordinates.
  virtual void MouseDown(MouseButton button, ShiftState shift, int x, int y);
  virtual void MouseMove(ShiftState shift, int x, int y);
  virtual void MouseUp(MouseButton button, ShiftState shift, int x, int y);
  virtual void MouseEnter() {}
  virtual void MouseLeave() {}
  // The pointer capture went elsewhere while this control held it.
  virtual void CaptureLost();
  // Runs the click handler, as a program may do for a button it never shows.
  void Click();

  MouseButtonHandler OnMouseDown;
  MouseMoveHandler OnMouseMove;
  MouseButtonHandler OnMouseUp;
  NotifyHandler OnClick;
  NotifyHandler OnCaptureLost;

  void Invalidate() noexcept;

 protected:
  Form* Owner() const noexcept { return form_; }

 private:
  friend class Form;
  Form* form_ = nullptr;
  Place design_;
  pg::Scale scale_;
  int left_, top_, width_, height_;
  bool visible_;
  HCURSOR cursor_ = nullptr;
};

}  // namespace pgf
