// An icon as GetIconInfo gives it: a colour (XOR) image and a mask (AND)
// image of the icon's own size. The mask reads white where the icon is
// transparent and black where it is opaque.
#pragma once

#include "imaging/image.h"

namespace pg {

inline constexpr int kCellSize = 32;   // the composite and a standard icon
inline constexpr int kSmallSize = 16;  // the system's small icon

struct Icon {
  Image colour;
  Image mask;

  int Width() const noexcept { return mask.Width(); }
  int Height() const noexcept { return mask.Height(); }
  // An empty slot: no images at all, which composes as a wholly
  // transparent layer.
  bool Empty() const noexcept { return mask.Empty() && colour.Empty(); }

  friend bool operator==(const Icon&, const Icon&) = default;
};

// A size x size icon that is transparent everywhere: white mask, black colour.
inline Icon TransparentIcon(int size = kCellSize) {
  return Icon{Image(size, size, kBlack), Image(size, size, kWhite)};
}

}  // namespace pg
