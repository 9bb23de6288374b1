// Windows bitmaps: files ("BM" + BITMAPFILEHEADER) and packed DIBs (a
// BITMAPINFOHEADER-family header, colour table and pixels, as CF_DIB and
// icon images carry them).
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/byte_reader.h"
#include "imaging/image.h"
#include "imaging/result.h"

namespace pg {

// Largest width or height any reader accepts.
inline constexpr int kMaxImageDimension = 16384;
// Largest pixel count of one bitmap: 16 million pixels, 64 MiB as an Image
// (4096 x 4096, or 16384 x 1024). Run-length data can claim the full
// dimensions in a few bytes, so the dimensions alone do not bound the
// allocation sensibly; with this bound a bitmap costs at most that Image,
// its file and the small buffers of scaling it to an icon.
inline constexpr std::uint64_t kMaxImagePixels = std::uint64_t{1} << 24;

// A bitmap file: core (12-byte), info (40), 52- and 56-byte, V4 (108) and
// V5 (124) headers; 1, 4, 8, 16, 24, 32 bits; BI_RGB, BI_BITFIELDS,
// BI_ALPHABITFIELDS, RLE4, RLE8; top-down and bottom-up. Alpha is dropped.
// Pixels that run-length data skips are black.
Result<Image> ReadBmp(Bytes file);

// The width and height a bitmap file's header claims, checked as ReadBmp
// checks the header, without decoding any pixel.
struct BmpSize {
  int width = 0;
  int height = 0;
};
Result<BmpSize> ReadBmpSize(Bytes file);

// A packed DIB: header, colour table, pixels (no file header), as CF_DIB
// carries it. The pixels start right after the colour table.
Result<Image> ReadPackedDib(Bytes dib);

// A 24-bit bottom-up bitmap file with a 40-byte info header. `image` must
// not be empty.
std::vector<std::uint8_t> WriteBmp24(const Image& image);

}  // namespace pg
