#include "imaging/palette.h"

#include <algorithm>

namespace pg {

const std::array<Colour, 10>& LowStaticColours() noexcept {
  static constexpr std::array<Colour, 10> kColours = {
      Rgb(0, 0, 0),       Rgb(128, 0, 0),     Rgb(0, 128, 0),   Rgb(128, 128, 0),
      Rgb(0, 0, 128),     Rgb(128, 0, 128),   Rgb(0, 128, 128), Rgb(192, 192, 192),
      Rgb(192, 220, 192), Rgb(166, 202, 240),
  };
  return kColours;
}

const std::array<Colour, 10>& HighStaticColours() noexcept {
  static constexpr std::array<Colour, 10> kColours = {
      Rgb(255, 251, 240), Rgb(160, 160, 164), Rgb(128, 128, 128), Rgb(255, 0, 0),
      Rgb(0, 255, 0),     Rgb(255, 255, 0),   Rgb(0, 0, 255),     Rgb(255, 0, 255),
      Rgb(0, 255, 255),   Rgb(255, 255, 255),
  };
  return kColours;
}

int PaletteTable::BuildIconPalette(const Image& colour) {
  std::copy(LowStaticColours().begin(), LowStaticColours().end(), entries_.begin());
  std::copy(HighStaticColours().begin(), HighStaticColours().end(),
            entries_.begin() + kLastFreeEntry + 1);
  int n = kFirstFreeEntry;
  for (const Colour c : colour.Pixels()) {
    const auto used = entries_.begin() + n;
    if (std::find(entries_.begin(), used, c) != used) continue;
    if (n > kLastFreeEntry) return kPaletteOverflow;
    entries_[static_cast<std::size_t>(n++)] = c;
  }
  return n;
}

std::array<std::uint8_t, kPaletteSize * 4> PaletteTable::PaletteAsRgbQuads() const noexcept {
  std::array<std::uint8_t, kPaletteSize * 4> quads{};
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    quads[4 * i + 0] = BlueOf(entries_[i]);
    quads[4 * i + 1] = GreenOf(entries_[i]);
    quads[4 * i + 2] = RedOf(entries_[i]);
  }
  return quads;
}

int PaletteTable::NearestIndex(Colour c, int n) const noexcept {
  n = std::clamp(n, 1, kPaletteSize);
  int best = 0;
  long best_distance = -1;
  for (int i = 0; i < n; ++i) {
    const Colour e = entries_[static_cast<std::size_t>(i)];
    if (e == c) return i;
    const long dr = long{RedOf(e)} - RedOf(c), dg = long{GreenOf(e)} - GreenOf(c),
               db = long{BlueOf(e)} - BlueOf(c);
    const long d = dr * dr + dg * dg + db * db;
    if (best_distance < 0 || d < best_distance) { best = i; best_distance = d; }
  }
  return best;
}

}  // namespace pg
