// The one rounding rule of offsets: to the nearest whole number, halves to
// the even neighbour, for the drag's pointer-to-cell quarter (layers.h) and
// the cell's offsets scaled to another size (multi_size.h) alike.
#pragma once

#include <cstdint>

namespace pg {

// round(n / d) for d > 0, halves to even, exact for every n. An odd d has
// no halves (a zoom view of 5 or 7 pixels per cell pixel at 125 or 175 %).
constexpr std::int64_t RoundHalfEven(std::int64_t n, std::int64_t d) noexcept {
  // n / d exactly is q + r/d with 0 <= r < d (floor division).
  std::int64_t q = n >= 0 ? n / d : -((-n + d - 1) / d);
  const std::int64_t r = n - q * d;
  if (2 * r > d || (2 * r == d && (q & 1) != 0)) ++q;
  return q;
}

}  // namespace pg
