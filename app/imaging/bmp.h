// Windows bitmaps: files ("BM" + BITMAPFILEHEADER) and packed DIBs (a
// BITMAPINFOHEADER-family header, colour table and pixels, as CF_DIB and
// icon images carry them).
#pragma once

#include <cstdint>
#include <vector>

#include "byte_reader.h"
#include "image.h"
#include "result.h"

namespace pg {

// Largest width or height any reader accepts.
inline constexpr int kMaxImageDimension = 16384;

// A bitmap file: core, info, V4 and V5 headers; 1, 4, 8, 16, 24, 32 bits;
// BI_RGB, BI_BITFIELDS, RLE4, RLE8; top-down and bottom-up.
Result<Image> ReadBmp(Bytes file);

// A packed DIB: header, colour table, pixels (no file header).
Result<Image> ReadPackedDib(Bytes dib);

// A 24-bit bottom-up bitmap file with a 40-byte info header.
std::vector<std::uint8_t> WriteBmp24(const Image& image);

}  // namespace pg
