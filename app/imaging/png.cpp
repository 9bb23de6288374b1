// PNG streams, as icon images carry them. Only the IHDR chunk is read here,
// to refuse absurd sizes before stb_image allocates; stb_image does the rest.
//
//   off size field
//    0   8   signature 89 50 4E 47 0D 0A 1A 0A
//    8   4   length of the first chunk = 13 (big-endian)
//   12   4   "IHDR"
//   16   4   width  (big-endian, 1 .. 2^31-1)
//   20   4   height (big-endian)
//   24   5   bit depth, colour type, compression, filter, interlace
#include "png.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "bmp.h"

// One translation unit holds stb_image, restricted to PNG, without stdio,
// without the global failure text, and with the same dimension limit as
// every other reader.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#define STBI_MAX_DIMENSIONS 16384
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

static_assert(STBI_MAX_DIMENSIONS <= pg::kMaxImageDimension,
              "the PNG decoder must not accept more than the other readers");

namespace pg::png {
namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

std::uint32_t Be32(Bytes b, std::size_t at) noexcept {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// The stream without its empty IDAT chunks, or nothing when it has none.
// They are legal but stb_image copies "zero bytes" from them into a buffer
// it has not allocated yet, which the undefined-behaviour checker rightly
// refuses; dropping them changes no pixel.
std::optional<std::vector<std::uint8_t>> WithoutEmptyIdat(Bytes data) {
  std::vector<std::pair<std::size_t, std::size_t>> drop;  // [begin, end) of each empty IDAT
  std::size_t pos = 8;
  while (data.size() - pos >= 12) {
    const std::uint64_t length = Be32(data, pos);
    if (length > data.size() - pos - 12) break;  // damaged: stb_image will say so
    if (length == 0 && std::memcmp(data.data() + pos + 4, "IDAT", 4) == 0) drop.emplace_back(pos, pos + 12);
    pos += 12 + static_cast<std::size_t>(length);
  }
  if (drop.empty()) return std::nullopt;
  std::vector<std::uint8_t> out;
  out.reserve(data.size());
  std::size_t from = 0;
  for (auto [begin, end] : drop) {
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(from), data.begin() + static_cast<std::ptrdiff_t>(begin));
    from = end;
  }
  out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(from), data.end());
  return out;
}

}  // namespace

bool HasSignature(Bytes data) noexcept {
  return data.size() >= sizeof kSignature && std::memcmp(data.data(), kSignature, sizeof kSignature) == 0;
}

Result<Rgba> Decode(Bytes data, int maxDimension, std::uint64_t maxPixels) {
  if (!HasSignature(data)) return Error::kBadSignature;
  if (data.size() < 33) return Error::kTruncated;  // signature + IHDR chunk + CRC
  if (Be32(data, 8) != 13 || std::memcmp(data.data() + 12, "IHDR", 4) != 0) return Error::kBadPng;
  const std::uint32_t w = Be32(data, 16), h = Be32(data, 20);
  if (w == 0 || h == 0) return Error::kBadImageSize;
  if (w > static_cast<std::uint32_t>(maxDimension) || h > static_cast<std::uint32_t>(maxDimension) ||
      std::uint64_t{w} * h > maxPixels)
    return Error::kImageTooLarge;
  if (data.size() > static_cast<std::size_t>(INT_MAX)) return Error::kImageTooLarge;

  const auto cleaned = WithoutEmptyIdat(data);
  if (cleaned) data = *cleaned;
  int x = 0, y = 0, channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(data.data(), static_cast<int>(data.size()), &x, &y, &channels, 4);
  if (pixels == nullptr) return Error::kBadPng;
  Rgba out;
  if (x == static_cast<int>(w) && y == static_cast<int>(h)) {
    out.width = x;
    out.height = y;
    out.pixels.assign(pixels, pixels + static_cast<std::size_t>(x) * static_cast<std::size_t>(y) * 4);
  }
  stbi_image_free(pixels);
  if (out.width == 0) return Error::kBadPng;  // decoder and IHDR disagree
  return out;
}

}  // namespace pg::png
