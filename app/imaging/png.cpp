// PNG streams, as icon images carry them. All numbers big-endian.
//
//   off size field
//    0   8   signature 89 50 4E 47 0D 0A 1A 0A
//    8   ..  chunks: length (u32, below 2^31), type (4 letters), data, CRC
//
//   IHDR  first, 13 bytes: width, height (u32, >= 1), bit depth, colour
//         type, compression 0, filter 0, interlace 0 (none) or 1 (Adam7)
//   PLTE  1..256 RGB triples; required for colour type 3
//   tRNS  type 3: alpha of the first palette entries; type 0: the one
//         transparent grey (u16); type 2: the one transparent RGB (3 x u16)
//   IDAT  one zlib stream of the filtered rows, split over any number of
//         chunks
//   IEND  end; anything after it is not read
//
// Colour types and bit depths: 0 grey (1, 2, 4, 8, 16), 2 RGB (8, 16),
// 3 palette (1, 2, 4, 8), 4 grey + alpha (8, 16), 6 RGBA (8, 16). Each row of
// each Adam7 pass (or of the whole image) starts with a filter byte: 0 none,
// 1 sub, 2 up, 3 average, 4 Paeth. Other chunks and the CRCs are not read.
//
// The inflated size is known exactly from IHDR, so the zlib stream goes into
// a buffer of that size and a stream that would produce more is refused
// there: the decoder never works for data the picture cannot hold. stb_image
// serves only as the inflater; its own PNG path grows its buffer for as long
// as the stream goes on.
#include "imaging/png.h"

#include <climits>
#include <cstring>
#include <span>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace pg::png {
namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::size_t kFirstChunk = 8;
constexpr std::size_t kIhdrEnd = 33;  // signature, IHDR with its CRC

std::uint32_t Be32(Bytes b, std::size_t at) noexcept {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}
std::uint32_t Be16(const std::uint8_t* p) noexcept { return (std::uint32_t{p[0]} << 8) | p[1]; }

struct Ihdr {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int depth = 0;
  int colourType = 0;
  bool interlaced = false;
  int channels = 0;
};

int ChannelsOf(int colourType) noexcept {
  switch (colourType) {
    case 0: case 3: return 1;
    case 4: return 2;
    case 2: return 3;
    case 6: return 4;
    default: return 0;
  }
}

bool ValidDepth(int colourType, int depth) noexcept {
  switch (colourType) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2: case 4: case 6: return depth == 8 || depth == 16;
    default: return false;
  }
}

Result<Ihdr> ParseIhdr(Bytes data) {
  if (!HasSignature(data)) return Error::kBadSignature;
  if (data.size() < kIhdrEnd) return Error::kTruncated;
  if (Be32(data, 8) != 13 || std::memcmp(data.data() + 12, "IHDR", 4) != 0) return Error::kBadPng;
  Ihdr h;
  h.width = Be32(data, 16);
  h.height = Be32(data, 20);
  h.depth = data[24];
  h.colourType = data[25];
  if (h.width == 0 || h.height == 0) return Error::kBadImageSize;
  if (h.width > 0x7FFFFFFFu || h.height > 0x7FFFFFFFu) return Error::kImageTooLarge;
  if (!ValidDepth(h.colourType, h.depth) || data[26] != 0 || data[27] != 0 || data[28] > 1)
    return Error::kBadPng;
  h.interlaced = data[28] == 1;
  h.channels = ChannelsOf(h.colourType);
  return h;
}

struct Pass {
  int x0, y0, dx, dy;
};
constexpr Pass kWhole[] = {{0, 0, 1, 1}};
constexpr Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                           {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

std::uint64_t PassSize(std::uint64_t size, int start, int step) noexcept {
  return size > static_cast<std::uint64_t>(start) ? (size - static_cast<std::uint64_t>(start) + static_cast<std::uint64_t>(step) - 1) / static_cast<std::uint64_t>(step) : 0;
}

std::uint64_t RowBytes(std::uint64_t width, const Ihdr& h) noexcept {
  return (width * static_cast<std::uint64_t>(h.channels * h.depth) + 7) / 8;
}

std::uint8_t Paeth(int a, int b, int c) noexcept {
  const int p = a + b - c;
  const int pa = p > a ? p - a : a - p, pb = p > b ? p - b : b - p, pc = p > c ? p - c : c - p;
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
  return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

// Undoes the filter of one row in place; `prev` is the row above in the same
// pass, or null for its first row.
bool Unfilter(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* prev, std::size_t n,
              std::size_t bpp) noexcept {
  switch (filter) {
    case 0: return true;
    case 1:
      for (std::size_t i = bpp; i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - bpp]);
      return true;
    case 2:
      if (prev)
        for (std::size_t i = 0; i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prev[i]);
      return true;
    case 3:
      for (std::size_t i = 0; i < n; ++i) {
        const int left = i >= bpp ? row[i - bpp] : 0, up = prev ? prev[i] : 0;
        row[i] = static_cast<std::uint8_t>(row[i] + (left + up) / 2);
      }
      return true;
    case 4:
      for (std::size_t i = 0; i < n; ++i) {
        const int left = i >= bpp ? row[i - bpp] : 0, up = prev ? prev[i] : 0;
        const int upLeft = i >= bpp && prev ? prev[i - bpp] : 0;
        row[i] = static_cast<std::uint8_t>(row[i] + Paeth(left, up, upLeft));
      }
      return true;
    default: return false;
  }
}

struct Extras {
  std::uint8_t palette[256 * 4] = {};  // R, G, B, A
  std::size_t paletteCount = 0;
  bool hasKey = false;
  std::uint32_t key[3] = {};
};

}  // namespace

bool HasSignature(Bytes data) noexcept {
  return data.size() >= sizeof kSignature && std::memcmp(data.data(), kSignature, sizeof kSignature) == 0;
}

Result<Header> ReadHeader(Bytes data) {
  auto h = ParseIhdr(data);
  if (!h) return h.error();
  if (h->width > static_cast<std::uint32_t>(INT_MAX) || h->height > static_cast<std::uint32_t>(INT_MAX))
    return Error::kImageTooLarge;
  return Header{static_cast<int>(h->width), static_cast<int>(h->height), h->depth * h->channels};
}

Result<Rgba> Decode(Bytes data, int maxDimension, std::uint64_t maxPixels) {
  auto ihdr = ParseIhdr(data);
  if (!ihdr) return ihdr.error();
  const Ihdr& h = *ihdr;
  if (h.width > static_cast<std::uint32_t>(maxDimension) || h.height > static_cast<std::uint32_t>(maxDimension) ||
      std::uint64_t{h.width} * h.height > maxPixels)
    return Error::kImageTooLarge;

  // The chunks: the palette and transparency, and where the image data lies.
  Extras extras;
  std::uint64_t idatSize = 0;
  bool seenPalette = false;
  std::size_t end = data.size();
  for (std::size_t pos = kFirstChunk; pos < end;) {
    if (end - pos < 12) return Error::kBadPng;
    const std::uint32_t length = Be32(data, pos);
    if (length > 0x7FFFFFFFu || length > end - pos - 12) return Error::kBadPng;
    const std::uint8_t* type = data.data() + pos + 4;
    const std::uint8_t* body = data.data() + pos + 8;
    if (std::memcmp(type, "IEND", 4) == 0) { end = pos; break; }
    if (std::memcmp(type, "IDAT", 4) == 0) {
      idatSize += length;
    } else if (std::memcmp(type, "PLTE", 4) == 0 && h.colourType == 3) {
      if (seenPalette || length % 3 != 0 || length == 0 || length > 256 * 3) return Error::kBadPalette;
      seenPalette = true;
      extras.paletteCount = length / 3;
      for (std::size_t i = 0; i < extras.paletteCount; ++i) {
        std::memcpy(&extras.palette[i * 4], body + i * 3, 3);
        extras.palette[i * 4 + 3] = 255;
      }
    } else if (std::memcmp(type, "tRNS", 4) == 0) {
      if (h.colourType == 3) {
        if (!seenPalette || length > extras.paletteCount) return Error::kBadPng;
        for (std::size_t i = 0; i < length; ++i) extras.palette[i * 4 + 3] = body[i];
      } else if (h.colourType == 0 || h.colourType == 2) {
        const std::uint32_t samples = h.colourType == 0 ? 1 : 3;
        if (length != samples * 2) return Error::kBadPng;
        extras.hasKey = true;
        for (std::uint32_t c = 0; c < samples; ++c) extras.key[c] = Be16(body + 2 * c);
      }
    }
    pos += 12 + std::size_t{length};
  }
  if (h.colourType == 3 && !seenPalette) return Error::kBadPalette;
  if (idatSize == 0) return Error::kBadPng;

  // What the rows of every pass take, filter bytes included.
  const auto passes = h.interlaced ? std::span<const Pass>(kAdam7) : std::span<const Pass>(kWhole);
  std::uint64_t rawSize = 0;
  for (const Pass& p : passes) {
    const std::uint64_t pw = PassSize(h.width, p.x0, p.dx), ph = PassSize(h.height, p.y0, p.dy);
    if (pw != 0 && ph != 0) rawSize += ph * (1 + RowBytes(pw, h));
  }
  if (rawSize > static_cast<std::uint64_t>(INT_MAX) || idatSize > static_cast<std::uint64_t>(INT_MAX))
    return Error::kImageTooLarge;

  std::vector<std::uint8_t> raw(static_cast<std::size_t>(rawSize));
  {
    std::vector<std::uint8_t> idat;
    idat.reserve(static_cast<std::size_t>(idatSize));
    for (std::size_t pos = kFirstChunk; pos < end;) {
      const std::uint32_t length = Be32(data, pos);
      if (std::memcmp(data.data() + pos + 4, "IDAT", 4) == 0)
        idat.insert(idat.end(), data.begin() + static_cast<std::ptrdiff_t>(pos + 8),
                    data.begin() + static_cast<std::ptrdiff_t>(pos + 8 + length));
      pos += 12 + std::size_t{length};
    }
    const int got = stbi_zlib_decode_buffer(reinterpret_cast<char*>(raw.data()), static_cast<int>(rawSize),
                                            reinterpret_cast<const char*>(idat.data()),
                                            static_cast<int>(idat.size()));
    // Less is a stream cut short; more was stopped at the buffer's end.
    if (got < 0 || static_cast<std::uint64_t>(got) != rawSize) return Error::kBadPng;
  }

  Rgba out;
  out.width = static_cast<int>(h.width);
  out.height = static_cast<int>(h.height);
  out.pixels.assign(std::size_t{h.width} * h.height * 4, 0);
  const std::size_t bpp = static_cast<std::size_t>((h.channels * h.depth + 7) / 8);
  const std::uint32_t maxSample = (1u << h.depth) - 1;
  const auto to8 = [&](std::uint32_t v) -> std::uint8_t {
    if (h.depth == 16) return static_cast<std::uint8_t>(v >> 8);
    if (h.depth == 8) return static_cast<std::uint8_t>(v);
    return static_cast<std::uint8_t>(v * 255 / maxSample);
  };
  std::size_t at = 0;
  for (const Pass& p : passes) {
    const std::uint64_t pw = PassSize(h.width, p.x0, p.dx), ph = PassSize(h.height, p.y0, p.dy);
    if (pw == 0 || ph == 0) continue;
    const std::size_t n = static_cast<std::size_t>(RowBytes(pw, h));
    const std::uint8_t* prev = nullptr;
    for (std::uint64_t r = 0; r < ph; ++r) {
      std::uint8_t* row = raw.data() + at + 1;
      if (!Unfilter(raw[at], row, prev, n, bpp)) return Error::kBadPng;
      const std::size_t y = static_cast<std::size_t>(p.y0) + static_cast<std::size_t>(r) * static_cast<std::size_t>(p.dy);
      for (std::uint64_t i = 0; i < pw; ++i) {
        std::uint32_t s[4] = {};
        for (int c = 0; c < h.channels; ++c) {
          const std::size_t k = static_cast<std::size_t>(i) * static_cast<std::size_t>(h.channels) + static_cast<std::size_t>(c);
          if (h.depth == 16) s[c] = Be16(row + 2 * k);
          else if (h.depth == 8) s[c] = row[k];
          else {
            const std::size_t bit = k * static_cast<std::size_t>(h.depth);
            s[c] = (row[bit / 8] >> (8 - h.depth - static_cast<int>(bit % 8))) & maxSample;
          }
        }
        std::uint8_t rgba[4] = {0, 0, 0, 255};
        switch (h.colourType) {
          case 0:
            rgba[0] = rgba[1] = rgba[2] = to8(s[0]);
            if (extras.hasKey && s[0] == extras.key[0]) rgba[3] = 0;
            break;
          case 2:
            for (int c = 0; c < 3; ++c) rgba[c] = to8(s[c]);
            if (extras.hasKey && s[0] == extras.key[0] && s[1] == extras.key[1] && s[2] == extras.key[2])
              rgba[3] = 0;
            break;
          case 3:
            if (s[0] >= extras.paletteCount) return Error::kBadPaletteIndex;
            std::memcpy(rgba, &extras.palette[s[0] * 4], 4);
            break;
          case 4:
            rgba[0] = rgba[1] = rgba[2] = to8(s[0]);
            rgba[3] = to8(s[1]);
            break;
          default:
            for (int c = 0; c < 4; ++c) rgba[c] = to8(s[c]);
            break;
        }
        const std::size_t x = static_cast<std::size_t>(p.x0) + static_cast<std::size_t>(i) * static_cast<std::size_t>(p.dx);
        std::memcpy(&out.pixels[(y * h.width + x) * 4], rgba, 4);
      }
      prev = row;
      at += 1 + n;
    }
  }
  return out;
}

}  // namespace pg::png
