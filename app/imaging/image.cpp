#include "image.h"

#include <algorithm>
#include <cassert>

namespace pg {

Image::Image(int width, int height, Colour fill)
    : width_(width), height_(height),
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
              fill & 0x00FFFFFFu) {
  assert(width >= 0 && height >= 0 && "image sizes are never negative");
}

void Image::Fill(Colour c) noexcept {
  std::fill(pixels_.begin(), pixels_.end(), c & 0x00FFFFFFu);
}

void BitBlt(Image& dst, int dx, int dy, int w, int h, const Image& src, int sx,
            int sy, Rop rop) noexcept {
  // Work in 64 bits: offsets are never clamped by callers, so dx + w may
  // well exceed what an int holds after a long drag.
  const long long x0 = std::max<long long>({0, -static_cast<long long>(dx),
                                            -static_cast<long long>(sx)});
  const long long y0 = std::max<long long>({0, -static_cast<long long>(dy),
                                            -static_cast<long long>(sy)});
  const long long x1 = std::min<long long>(
      {static_cast<long long>(w), static_cast<long long>(dst.Width()) - dx,
       static_cast<long long>(src.Width()) - sx});
  const long long y1 = std::min<long long>(
      {static_cast<long long>(h), static_cast<long long>(dst.Height()) - dy,
       static_cast<long long>(src.Height()) - sy});
  for (long long y = y0; y < y1; ++y) {
    for (long long x = x0; x < x1; ++x) {
      const int tx = static_cast<int>(dx + x), ty = static_cast<int>(dy + y);
      const Colour s = src.GetPixel(static_cast<int>(sx + x), static_cast<int>(sy + y));
      Colour d = dst.GetPixel(tx, ty);
      switch (rop) {
        case Rop::kCopy: d = s; break;
        case Rop::kAnd: d &= s; break;
        case Rop::kInvert: d ^= s; break;
      }
      dst.SetPixel(tx, ty, d);
    }
  }
}

Image Enlarge(const Image& src, int factor) {
  assert(factor >= 1 && "enlargement factor must be positive");
  Image out(src.Width() * factor, src.Height() * factor);
  for (int y = 0; y < out.Height(); ++y)
    for (int x = 0; x < out.Width(); ++x)
      out.SetPixel(x, y, src.GetPixel(x / factor, y / factor));
  return out;
}

}  // namespace pg
