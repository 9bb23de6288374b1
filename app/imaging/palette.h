// The 256-entry colour table of an 8-bit icon: the twenty static colours of
// the Windows system palette at their own indices (0-9 and 246-255) and the
// picture's colours from index 10 on, in the order a row-by-row scan first
// meets them.
#pragma once

#include <array>
#include <cstdint>

#include "imaging/image.h"

namespace pg {

inline constexpr int kPaletteSize = 256;
inline constexpr int kFirstFreeEntry = 10;
inline constexpr int kLastFreeEntry = 245;
// BuildIconPalette's answer when the picture has more colours than fit.
inline constexpr int kPaletteOverflow = -1;

class PaletteTable {
 public:
  // Rewrites the static entries and the picture's colours. Returns the colour
  // count n (10..246) or kPaletteOverflow on the 237th colour beyond the ten
  // first static ones. The table is kept between builds: entries n..245 hold
  // what an earlier, larger build left there, and a saved file shows them.
  int BuildIconPalette(const Image& colour);

  Colour PaletteColour(int index) const noexcept { return entries_.at(static_cast<std::size_t>(index)); }

  // The whole table as a bitmap colour table: blue, green, red, 0 per entry.
  std::array<std::uint8_t, kPaletteSize * 4> PaletteAsRgbQuads() const noexcept;

  // The palette index of `c` in a palette of n entries: the lowest equal
  // entry, or the nearest one when none is equal (GetNearestPaletteIndex).
  int NearestIndex(Colour c, int n) const noexcept;

 private:
  std::array<Colour, kPaletteSize> entries_{};
};

// The twenty static colours, indexed as in the system palette.
const std::array<Colour, 10>& LowStaticColours() noexcept;   // indices 0-9
const std::array<Colour, 10>& HighStaticColours() noexcept;  // indices 246-255

}  // namespace pg
