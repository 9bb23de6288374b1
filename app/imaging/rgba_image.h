// A picture with straight alpha, the pixels every size beyond the 32x32 cell
// is composed in.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/colour.h"

namespace pg {

// A picture with straight (not premultiplied) alpha: R, G, B, A per pixel,
// top row first. A pixel with alpha 0 is stored as 0, 0, 0, 0.
struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;

  RgbaImage() = default;
  RgbaImage(int w, int h)
      : width(w), height(h),
        pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4, 0) {}
  bool Empty() const noexcept { return width == 0 || height == 0; }
  std::uint8_t* At(int x, int y) noexcept { return &pixels[Index(x, y)]; }
  const std::uint8_t* At(int x, int y) const noexcept { return &pixels[Index(x, y)]; }
  std::uint8_t AlphaAt(int x, int y) const noexcept { return pixels[Index(x, y) + 3]; }
  // A COLORREF with its alpha, straight (not premultiplied).
  void Set(int x, int y, Colour c, std::uint8_t alpha) noexcept {
    std::uint8_t* p = At(x, y);
    p[0] = RedOf(c);
    p[1] = GreenOf(c);
    p[2] = BlueOf(c);
    p[3] = alpha;
  }

  friend bool operator==(const RgbaImage&, const RgbaImage&) = default;

 private:
  std::size_t Index(int x, int y) const noexcept {
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
  }
};

}  // namespace pg
