#include "imaging/image.h"

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
  if (x0 >= x1) return;
  // Whole rows at a time: the clipping above keeps every index in range.
  const auto n = static_cast<std::size_t>(x1 - x0);
  for (long long y = y0; y < y1; ++y) {
    Colour* d = dst.Row(static_cast<int>(dy + y)) + (dx + x0);
    const Colour* s = src.Row(static_cast<int>(sy + y)) + (sx + x0);
    switch (rop) {
      case Rop::kCopy: std::copy(s, s + n, d); break;
      case Rop::kAnd: for (std::size_t i = 0; i < n; ++i) d[i] &= s[i]; break;
      case Rop::kInvert: for (std::size_t i = 0; i < n; ++i) d[i] ^= s[i]; break;
    }
  }
}

Image Enlarge(const Image& src, int factor) {
  assert(factor >= 1 && "enlargement factor must be positive");
  Image out(src.Width() * factor, src.Height() * factor);
  EnlargeInto(src, factor, out);
  return out;
}

void EnlargeInto(const Image& src, int factor, Image& dst) noexcept {
  assert(factor >= 1 && dst.Width() == src.Width() * factor &&
         dst.Height() == src.Height() * factor && "the target is factor times the source");
  // One row is widened, then copied to the factor - 1 rows below it.
  const auto w = static_cast<std::size_t>(dst.Width());
  for (int y = 0; y < src.Height(); ++y) {
    const Colour* s = src.Row(y);
    Colour* first = dst.Row(y * factor);
    for (int x = 0; x < src.Width(); ++x)
      std::fill_n(first + static_cast<std::size_t>(x) * factor, factor, s[x]);
    for (int k = 1; k < factor; ++k) std::copy(first, first + w, dst.Row(y * factor + k));
  }
}

}  // namespace pg
