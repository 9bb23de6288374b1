// PNG streams inside icons, decoded by stb_image. Private to the core's
// readers.
#pragma once

#include <cstdint>
#include <vector>

#include "byte_reader.h"
#include "result.h"

namespace pg::png {

// True when `data` starts with the eight-byte PNG signature.
bool HasSignature(Bytes data) noexcept;

struct Rgba {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // R, G, B, A per pixel, top row first
};

// Checks the IHDR dimensions against `maxDimension` and `maxPixels` before
// the decoder allocates anything, then decodes to 8-bit RGBA.
Result<Rgba> Decode(Bytes data, int maxDimension, std::uint64_t maxPixels);

}  // namespace pg::png
