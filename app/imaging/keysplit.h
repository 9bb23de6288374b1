// Splitting the composite into the two images an icon is made of.
#pragma once

#include "imaging/icon.h"

namespace pg {

// Every pixel of exactly `key` (all 24 bits) becomes transparent: white mask,
// black colour. Every other pixel is opaque with its own colour.
Icon SplitKeyColour(const Image& composite, Colour key = kKeyColour);

}  // namespace pg
