// PNG streams inside icons. Private to the core's readers.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/byte_reader.h"
#include "imaging/result.h"

namespace pg::png {

// True when `data` starts with the eight-byte PNG signature.
bool HasSignature(Bytes data) noexcept;

// The IHDR chunk: enough to choose an image and to refuse absurd sizes
// before anything is decoded.
struct Header {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;  // as stored: bit depth times channels (palette: its index bits)
};

// Reads and checks the signature and IHDR (size, bit depth against colour
// type, compression, filter and interlace methods).
Result<Header> ReadHeader(Bytes data);

struct Rgba {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // R, G, B, A per pixel, top row first
};

// Checks the IHDR dimensions against `maxDimension` and `maxPixels` before
// anything is allocated, then decodes to 8-bit RGBA. The image data is
// inflated into a buffer of exactly the size the header needs: a stream that
// would inflate to more is refused as soon as it passes that size, so a few
// kilobytes can never cost more than the picture they claim to be.
Result<Rgba> Decode(Bytes data, int maxDimension, std::uint64_t maxPixels);

}  // namespace pg::png
