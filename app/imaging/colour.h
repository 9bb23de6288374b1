// Colours as the Windows GDI hands them out: a COLORREF, 0x00BBGGRR.
// The core keeps that representation so that every pixel rule (AND/XOR
// of the icon masks, exact key-colour comparison) means exactly what it
// means on the platform.
#pragma once

#include <cstdint>

namespace pg {

using Colour = std::uint32_t;

// What GetPixel answers for a position outside the image. It is part of the
// model: the clean-mask rule and the drag pick both test for it.
inline constexpr Colour kClrInvalid = 0xFFFFFFFFu;

inline constexpr Colour kBlack = 0x000000u;
inline constexpr Colour kWhite = 0xFFFFFFu;

constexpr Colour Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) noexcept {
  return Colour{r} | (Colour{g} << 8) | (Colour{b} << 16);
}
constexpr std::uint8_t RedOf(Colour c) noexcept { return static_cast<std::uint8_t>(c); }
constexpr std::uint8_t GreenOf(Colour c) noexcept { return static_cast<std::uint8_t>(c >> 8); }
constexpr std::uint8_t BlueOf(Colour c) noexcept { return static_cast<std::uint8_t>(c >> 16); }

// The background of every composite and the transparency key of a save.
inline constexpr Colour kKeyColour = Rgb(64, 96, 128);  // 0x00806040

}  // namespace pg
