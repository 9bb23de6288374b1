// The main window's places and the skin's colours, from the table that the
// artwork and the tests read too.
#pragma once

#include "imaging/colour.h"
#include "form/control.h"

namespace layout {

#define PG_CONTROL(name, left, top, width, height) \
  inline constexpr pgf::Place name{left, top, width, height};
#define PG_COLOUR(name, r, g, b) inline constexpr pg::Colour name = pg::Rgb(r, g, b);
#include "main_window_layout.inc"
#undef PG_CONTROL
#undef PG_COLOUR

}  // namespace layout
