// Device-independent bitmaps, the part shared by bitmap files, packed DIBs
// and icon images: parsing and checking the header and colour table, and
// turning the pixel rows into an Image. Private to the core's readers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/byte_reader.h"
#include "imaging/image.h"
#include "imaging/result.h"

namespace pg::dib {

// Compression values of biCompression.
inline constexpr std::uint32_t kBiRgb = 0;
inline constexpr std::uint32_t kBiRle8 = 1;
inline constexpr std::uint32_t kBiRle4 = 2;
inline constexpr std::uint32_t kBiBitfields = 3;
inline constexpr std::uint32_t kBiJpeg = 4;
inline constexpr std::uint32_t kBiPng = 5;
inline constexpr std::uint32_t kBiAlphaBitfields = 6;

enum class Kind {
  kBitmap,  // biHeight is the image height; any compression
  kIcon,    // biHeight counts the colour rows and the AND mask rows
};

struct Layout {
  std::uint32_t headerSize = 0;
  int width = 0;
  int rows = 0;          // picture rows (an icon's half of biHeight)
  bool topDown = false;
  int bitCount = 0;
  std::uint32_t compression = kBiRgb;
  Kind kind = Kind::kBitmap;
  // Channel masks for 16 and 32 bits, red, green, blue, alpha (alpha 0
  // when the format has none).
  std::array<std::uint32_t, 4> masks{};
  std::vector<Colour> palette;  // bitCount <= 8 only
  std::size_t paletteEntries = 0;  // the colour table's entries, read or not
  // Where the header and any masks after it end.
  std::size_t headerEnd = 0;
  // Where the header, masks and colour table end inside the DIB: a packed
  // DIB's pixels start here.
  std::size_t tableEnd = 0;
  // Bytes of one uncompressed row, padded to 32 bits.
  std::uint64_t stride = 0;
  // Whether DecodePixels reports the alpha channel of 32-bit rows: always
  // for icons; for a bitmap only when the caller asks (a file's fourth byte
  // is no alpha, a clipboard bitmap's may be).
  bool wantAlpha = false;
};

// Reads and checks the header, masks and colour table at the start of
// `dib`. Everything that decides an allocation is checked here: dimensions,
// bit count against compression, colour-table size against the data.
// `pixelOffset` (a bitmap file's bfOffBits, counted from the DIB's start)
// may cut the colour table short: entries at or past it do not exist.
Result<Layout> ParseLayout(Bytes dib, Kind kind,
                           std::optional<std::uint64_t> pixelOffset = std::nullopt);

// The same checks without reading the colours of the table (`palette` stays
// empty; paletteEntries and tableEnd tell its extent): enough to judge an
// image that is not decoded, as a listing of a library judges hundreds.
Result<Layout> ParseHeader(Bytes dib, Kind kind,
                           std::optional<std::uint64_t> pixelOffset = std::nullopt);

struct Pixels {
  Image image;
  // Alpha per pixel, row-major, top row first; only when the layout wants
  // it and has 32 bits with an alpha channel (BI_RGB's fourth byte or an
  // alpha mask), else empty.
  std::vector<std::uint8_t> alpha;
  // How many bytes of the pixel data the rows took (uncompressed only).
  std::uint64_t consumed = 0;
};

// Decodes the rows that start at `pixels`. Uncompressed rows must all be
// there (the size is computed, never taken from biSizeImage).
Result<Pixels> DecodePixels(const Layout& layout, Bytes pixels);

// Bytes of one row of `width` pixels at `bitCount` bits, padded to 32 bits.
// 64-bit so that no width and depth the header can hold overflows.
constexpr std::uint64_t RowStride(std::uint64_t width, std::uint64_t bitCount) noexcept {
  return (width * bitCount + 31) / 32 * 4;
}

}  // namespace pg::dib
