// The main window's places and the skin's colours, from the one table that
// the window, the artwork generator and the tests all read
// (main_window_layout.inc). Portable: the editing session's hit tests and the
// window's controls stand on the same rectangles.
#pragma once

#include "imaging/colour.h"

namespace pg {

// A rectangle in the main window's client pixels at 100 %.
struct Place {
  int left, top, width, height;
  friend constexpr bool operator==(const Place&, const Place&) = default;
};

struct Point {
  int x = 0;
  int y = 0;
};

// A display scale, in percent of the 96-DPI layout, at the quarter steps the
// artwork is drawn for (100, 125, ... 300 %). Every 32-pixel picture is then a
// whole number of device pixels (32 * s), and the zoom view shows each
// composite pixel as a square of ZoomPixel() = 4 * s device pixels.
struct Scale {
  static constexpr int kMinPercent = 100;
  static constexpr int kMaxPercent = 300;

  int percent = 100;

  // The display's DPI to the nearest quarter step within the drawn range.
  static constexpr Scale ForDpi(int dpi) noexcept {
    int quarters = (dpi * 4 + 48) / 96;  // 4 * s, halves up
    if (quarters * 25 < kMinPercent) quarters = kMinPercent / 25;
    if (quarters * 25 > kMaxPercent) quarters = kMaxPercent / 25;
    return Scale{quarters * 25};
  }
  // The device pixel edge of layout coordinate v: floor(v * s + 1/2). The
  // artwork generator draws every edge at the same place.
  constexpr int Edge(int v) const noexcept {
    const long long twice = 2LL * v * percent + 100;  // (v * s + 1/2) * 200
    return static_cast<int>(twice >= 0 ? twice / 200 : -((-twice + 199) / 200));
  }
  // A layout rectangle in device pixels: its edges scaled, so neighbours
  // stay neighbours.
  constexpr Place Of(const Place& p) const noexcept {
    const int left = Edge(p.left), top = Edge(p.top);
    return Place{left, top, Edge(p.left + p.width) - left, Edge(p.top + p.height) - top};
  }
  // Device pixels per composite pixel in the zoom view.
  constexpr int ZoomPixel() const noexcept { return percent / 25; }
  // A layout length in device pixels, at least one (a line's thickness).
  constexpr int Thickness(int v) const noexcept { return Edge(v) < 1 ? 1 : Edge(v); }
  friend constexpr bool operator==(const Scale&, const Scale&) = default;
};

}  // namespace pg

namespace layout {

#define PG_CONTROL(name, left, top, width, height) \
  inline constexpr pg::Place name{left, top, width, height};
#define PG_COLOUR(name, r, g, b) inline constexpr pg::Colour name = pg::Rgb(r, g, b);
#include "main_window_layout.inc"
#undef PG_CONTROL
#undef PG_COLOUR

// The selection frame's left edge from start on: one pixel left of the slot
// boxes, so that with its top one pixel above a slot it surrounds that box.
inline constexpr int kSelectionFrameLeft = Image1.left - 1;

}  // namespace layout
