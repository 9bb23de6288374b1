#include "imaging/scale.h"

#include <algorithm>
#include <cassert>
#include <cstdint>

namespace pg {

void EnlargeNearestInto(const Image& src, Image& dst) noexcept {
  if (src.Empty() || dst.Empty()) return;
  const int w = dst.Width(), h = dst.Height();
  const std::int64_t sw = src.Width(), sh = src.Height();
  if (w % sw == 0 && h % sh == 0) {
    // A whole factor (the zoom view at every scale): each source pixel is
    // one uniform block, row by row, without a division per pixel.
    const int fx = static_cast<int>(w / sw), fy = static_cast<int>(h / sh);
    for (int sy = 0; sy < sh; ++sy) {
      const Colour* in = src.Row(sy);
      Colour* first = dst.Row(sy * fy);
      for (int sx = 0; sx < sw; ++sx)
        for (int i = 0; i < fx; ++i) first[sx * fx + i] = in[sx];
      for (int r = 1; r < fy; ++r) std::copy(first, first + w, dst.Row(sy * fy + r));
    }
    return;
  }
  // A destination row that samples the same source row as the row above it
  // is a copy of that row.
  int lastRow = -1;
  for (int y = 0; y < h; ++y) {
    const int sy = static_cast<int>((2 * static_cast<std::int64_t>(y) + 1) * sh / (2 * static_cast<std::int64_t>(h)));
    Colour* out = dst.Row(y);
    if (sy == lastRow) {
      const Colour* above = dst.Row(y - 1);
      for (int x = 0; x < w; ++x) out[x] = above[x];
      continue;
    }
    const Colour* in = src.Row(sy);
    for (int x = 0; x < w; ++x)
      out[x] = in[(2 * static_cast<std::int64_t>(x) + 1) * sw / (2 * static_cast<std::int64_t>(w))];
    lastRow = sy;
  }
}

Image EnlargeNearest(const Image& src, int width, int height) {
  if (src.Empty() || width <= 0 || height <= 0) return {};
  Image dst(width, height);
  EnlargeNearestInto(src, dst);
  return dst;
}

Image EnlargeNearest(const Image& src, int n) { return EnlargeNearest(src, n, n); }

Icon EnlargeNearest(const Icon& icon, int width, int height) {
  return Icon{EnlargeNearest(icon.colour, width, height), EnlargeNearest(icon.mask, width, height)};
}

int ScaledIconSize(int size, int n) noexcept {
  assert(n >= 1 && size >= 0 && "ScaledIconSize: sizes are positive");
  return static_cast<int>((static_cast<std::int64_t>(size) * n + kCellSize / 2) / kCellSize);
}

Result<Icon> IconForScale(const IconSource& source, int index, int n) {
  if (n != kCellSize) {
    bool own = false;
    for (const IconGroupInfo::Entry& e : source.Info(index).entries)
      own = own || (e.width == n && e.height == n);
    if (own) {
      auto icon = source.Extract(index, n);
      if (icon && icon->Width() == n && icon->Height() == n) return icon;
    }
  }
  auto large = source.Extract(index, kCellSize);
  if (!large || n == kCellSize || large->Empty()) return large;
  return EnlargeNearest(*large, ScaledIconSize(large->Width(), n), ScaledIconSize(large->Height(), n));
}

}  // namespace pg
