// Builders for bitmap, icon and PNG bytes, made in code so that every test
// shows the exact bytes it feeds a reader. Raw pixel values follow the
// on-disk order: a palette index for 1..8 bits, 0x00RRGGBB for 24 bits,
// 0xAARRGGBB for 32 bits, the packed word for 16 bits (each written
// little-endian, so 24 and 32 bits come out as B, G, R[, A]).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "imaging/colour.h"

// Static, so that any number of test files may include this header.
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace pg::fixtures {

using ByteVec = std::vector<std::uint8_t>;
using PixelFn = std::function<std::uint32_t(int x, int y)>;  // y = 0 is the top row
using BitFn = std::function<bool(int x, int y)>;

inline void PutU8(ByteVec& b, std::uint32_t v) { b.push_back(static_cast<std::uint8_t>(v)); }
inline void PutU16(ByteVec& b, std::uint32_t v) { PutU8(b, v); PutU8(b, v >> 8); }
inline void PutU32(ByteVec& b, std::uint32_t v) { PutU16(b, v & 0xFFFF); PutU16(b, v >> 16); }
inline void PokeU16(ByteVec& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PokeU32(ByteVec& b, std::size_t at, std::uint32_t v) {
  PokeU16(b, at, v & 0xFFFF);
  PokeU16(b, at + 2, v >> 16);
}
inline ByteVec Concat(ByteVec a, const ByteVec& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Rows of raw values, each padded to 32 bits, bottom row first unless
// `topDown`.
inline ByteVec PackRows(int w, int h, int bpp, const PixelFn& value, bool topDown = false) {
  const std::size_t stride = (static_cast<std::size_t>(w) * static_cast<std::size_t>(bpp) + 31) / 32 * 4;
  ByteVec out;
  for (int i = 0; i < h; ++i) {
    const int y = topDown ? i : h - 1 - i;
    ByteVec row(stride, 0);
    for (int x = 0; x < w; ++x) {
      const std::uint32_t v = value(x, y);
      if (bpp < 8) {
        const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(bpp);
        row[bit / 8] |= static_cast<std::uint8_t>((v & ((1u << bpp) - 1)) << (8 - bpp - bit % 8));
      } else {
        for (int k = 0; k < bpp / 8; ++k)
          row[static_cast<std::size_t>(x) * static_cast<std::size_t>(bpp / 8) + static_cast<std::size_t>(k)] =
              static_cast<std::uint8_t>(v >> (8 * k));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

// An AND mask: one bit per pixel, 1 = transparent, rows padded to 32 bits.
inline ByteVec PackMask(int w, int h, const BitFn& transparent) {
  return PackRows(w, h, 1, [&](int x, int y) { return transparent(x, y) ? 1u : 0u; });
}

// The fields of a DIB header. size 12 writes a BITMAPCOREHEADER; 52, 56,
// 108 and 124 write the masks into the header.
struct DibHeader {
  std::uint32_t size = 40;
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint16_t planes = 1;
  std::uint16_t bitCount = 24;
  std::uint32_t compression = 0;
  std::uint32_t sizeImage = 0;
  std::uint32_t clrUsed = 0;
  std::array<std::uint32_t, 4> masks{};
};

inline ByteVec HeaderBytes(const DibHeader& h) {
  ByteVec b;
  PutU32(b, h.size);
  if (h.size == 12) {
    PutU16(b, static_cast<std::uint32_t>(h.width));
    PutU16(b, static_cast<std::uint32_t>(h.height));
    PutU16(b, h.planes);
    PutU16(b, h.bitCount);
    return b;
  }
  PutU32(b, static_cast<std::uint32_t>(h.width));
  PutU32(b, static_cast<std::uint32_t>(h.height));
  PutU16(b, h.planes);
  PutU16(b, h.bitCount);
  PutU32(b, h.compression);
  PutU32(b, h.sizeImage);
  PutU32(b, 2835);
  PutU32(b, 2835);
  PutU32(b, h.clrUsed);
  PutU32(b, 0);
  for (std::size_t i = 0; i < 4 && b.size() + 4 <= h.size; ++i) PutU32(b, h.masks[i]);
  if (h.size > b.size()) b.resize(h.size, 0);
  return b;
}

inline ByteVec PaletteBytes(const std::vector<Colour>& palette, bool core = false) {
  ByteVec b;
  for (Colour c : palette) {
    PutU8(b, BlueOf(c));
    PutU8(b, GreenOf(c));
    PutU8(b, RedOf(c));
    if (!core) PutU8(b, 0);
  }
  return b;
}

// n distinct colours, none of them black or white.
inline std::vector<Colour> TestPalette(int n) {
  std::vector<Colour> p;
  for (int i = 0; i < n; ++i)
    p.push_back(Rgb(static_cast<std::uint8_t>(10 + i), static_cast<std::uint8_t>(200 - i / 2),
                    static_cast<std::uint8_t>((i * 37 + 5) & 0xFF)));
  return p;
}

// A packed DIB: header, `afterHeader` (the masks a 40-byte BI_BITFIELDS
// header needs), colour table, pixels.
inline ByteVec MakeDib(const DibHeader& h, const std::vector<Colour>& palette, const ByteVec& pixels,
                       const std::vector<std::uint32_t>& afterHeader = {}) {
  ByteVec b = HeaderBytes(h);
  for (std::uint32_t m : afterHeader) PutU32(b, m);
  b = Concat(b, PaletteBytes(palette, h.size == 12));
  return Concat(b, pixels);
}

// The same DIB behind a 14-byte file header whose bfOffBits points at the
// pixels.
inline ByteVec MakeBmpFile(const DibHeader& h, const std::vector<Colour>& palette, const ByteVec& pixels,
                           const std::vector<std::uint32_t>& afterHeader = {}) {
  const ByteVec dib = MakeDib(h, palette, pixels, afterHeader);
  ByteVec b{'B', 'M'};
  PutU32(b, static_cast<std::uint32_t>(14 + dib.size()));
  PutU32(b, 0);
  PutU32(b, static_cast<std::uint32_t>(14 + dib.size() - pixels.size()));
  return Concat(b, dib);
}

// An icon image DIB: 40-byte header with double height, colour table
// (bpp <= 8: `palette`, or TestPalette(2^bpp) when empty), XOR rows, AND
// mask rows.
inline ByteVec MakeIconDib(int w, int h, int bpp, const PixelFn& colour, const BitFn& transparent,
                           std::vector<Colour> palette = {}) {
  if (bpp <= 8 && palette.empty()) palette = TestPalette(1 << bpp);
  DibHeader hd;
  hd.width = w;
  hd.height = 2 * h;
  hd.bitCount = static_cast<std::uint16_t>(bpp);
  if (bpp <= 8 && palette.size() != (std::size_t{1} << bpp)) hd.clrUsed = static_cast<std::uint32_t>(palette.size());
  return Concat(MakeDib(hd, palette, PackRows(w, h, bpp, colour)), PackMask(w, h, transparent));
}

// One image of an .ico file with the directory entry that describes it.
struct IcoEntry {
  ByteVec data;
  int width = 32;   // 256 and more are written as 0
  int height = 32;
  int bitCount = 0;
  std::uint16_t planes = 1;
};

inline ByteVec MakeIcoFile(const std::vector<IcoEntry>& images, std::uint16_t type = 1) {
  ByteVec b;
  PutU16(b, 0);
  PutU16(b, type);
  PutU16(b, static_cast<std::uint32_t>(images.size()));
  std::size_t offset = 6 + 16 * images.size();
  for (const IcoEntry& e : images) {
    PutU8(b, e.width >= 256 ? 0 : static_cast<std::uint32_t>(e.width));
    PutU8(b, e.height >= 256 ? 0 : static_cast<std::uint32_t>(e.height));
    PutU8(b, 0);
    PutU8(b, 0);
    PutU16(b, e.planes);
    PutU16(b, static_cast<std::uint32_t>(e.bitCount));
    PutU32(b, static_cast<std::uint32_t>(e.data.size()));
    PutU32(b, static_cast<std::uint32_t>(offset));
    offset += e.data.size();
  }
  for (const IcoEntry& e : images) b = Concat(b, e.data);
  return b;
}

// A PNG of w x h RGBA pixels, rgba(x, y) = 0xAARRGGBB.
inline ByteVec MakePng(int w, int h, const PixelFn& rgba) {
  std::vector<std::uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::uint32_t v = rgba(x, y);
      raw.push_back(static_cast<std::uint8_t>(v >> 16));
      raw.push_back(static_cast<std::uint8_t>(v >> 8));
      raw.push_back(static_cast<std::uint8_t>(v));
      raw.push_back(static_cast<std::uint8_t>(v >> 24));
    }
  ByteVec out;
  stbi_write_png_to_func(
      [](void* ctx, void* data, int size) {
        auto* o = static_cast<ByteVec*>(ctx);
        const auto* p = static_cast<const std::uint8_t*>(data);
        o->insert(o->end(), p, p + size);
      },
      &out, w, h, 4, raw.data(), w * 4);
  return out;
}

}  // namespace pg::fixtures
