// The icon file Save writes: one 32x32 image, 8 bits per pixel with a
// 256-entry colour table, or 24 bits per pixel.
//
//   offset  size  field                      8-bit    24-bit
//   0       2     reserved                   0        0
//   2       2     type (1 = icon)            1        1
//   4       2     image count                1        1
//   6       1     width, height              32, 32   32, 32
//   8       1     colour count, reserved     0, 0     0, 0
//   10      2     planes                     0        0       (sic: not 1)
//   12      2     bit count                  0        0       (sic: not 8/24)
//   14      4     bytes in the image         2216     3240
//   18      4     offset of the image        22       22
//   22      40    BITMAPINFOHEADER           height 64 (colour + mask),
//                                            biSizeImage 1152 / 3200,
//                                            biClrUsed 256 / 0
//   62      1024  colour table (8-bit only): PaletteAsRgbQuads
//   1086/62       colour rows, bottom row first: 32 index bytes / 96 BGR bytes
//   2110/3134 128 mask rows, bottom row first, 4 bytes each, MSB = x 0,
//                 1 = transparent
//
// Directory planes and bit count stay 0 as the program has always written
// them; readers take the depth from the BITMAPINFOHEADER.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "imaging/icon.h"
#include "imaging/palette.h"
#include "imaging/rgba_image.h"

namespace pg {

inline constexpr std::size_t kIconFileSize8 = 2238;
inline constexpr std::size_t kIconFileSize24 = 3262;

struct IconFileBytes {
  std::vector<std::uint8_t> bytes;
  int bitsPerPixel = 24;  // 8 or 24: what was actually written
};

// Progress values, in order: 24-bit 0, 25, 50, 100; 8-bit 0, 25, 40, 60, 80, 100.
using ProgressFn = std::function<void(int percent)>;

// Writes the 32x32 icon (colour image, mask image) with `saveDepth` 8 or 24.
// An 8-bit request falls back to 24 bits when the palette cannot be built.
// The palette build always runs and updates `table`.
IconFileBytes WriteIconFile(const Icon& icon, int saveDepth, PaletteTable& table,
                            const ProgressFn& progress = {});

// The multi-size icon file of square images with sizes from 1 to 256, each
// size once: images ordered from the largest down, each below 256 as a
// 32-bit BGRA DIB with an AND mask that is transparent where alpha is 0, a
// 256x256 image as a PNG stream. Directory entries give each image's true
// size (256 as 0), 1 plane, 32 bits.
std::vector<std::uint8_t> WriteMultiSizeIcon(std::vector<RgbaImage> images);

}  // namespace pg
