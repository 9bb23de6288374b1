// The main window's places and the skin's colours, from the one table that
// the window, the artwork generator and the tests all read
// (main_window_layout.inc). Portable: the editing session's hit tests and the
// window's controls stand on the same rectangles.
#pragma once

#include "colour.h"

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
