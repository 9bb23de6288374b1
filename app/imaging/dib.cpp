// Device-independent bitmap decoding, shared by bitmap files, packed DIBs
// and icon images. All numbers little-endian.
//
//   BITMAPCOREHEADER (12 bytes)          BITMAPINFOHEADER (40 bytes)
//   off size field                       off size field
//    0   4   bcSize = 12                  0   4   biSize = 40, 52, 56, 108, 124
//    4   2   bcWidth  (unsigned)          4   4   biWidth  (signed, > 0)
//    6   2   bcHeight (unsigned)          8   4   biHeight (< 0: top-down rows)
//    8   2   bcPlanes = 1                12   2   biPlanes = 1
//   10   2   bcBitCount 1/4/8/24         14   2   biBitCount 1/4/8/16/24/32
//   then 2^bits RGBTRIPLEs (B, G, R)     16   4   biCompression RGB/RLE8/RLE4/BITFIELDS
//                                        20   4   biSizeImage (not trusted)
//                                        24   8   resolution (ignored)
//                                        32   4   biClrUsed (0: 2^bits)
//                                        36   4   biClrImportant (ignored)
//   52-/56-byte, V4 and V5 headers continue with the red, green, blue (and
//   alpha) masks at 40; V4/V5 then hold colour-space data this reader
//   ignores. A 40-byte header with BI_BITFIELDS is followed by three masks
//   (four for BI_ALPHABITFIELDS). Then the colour table of RGBQUADs
//   (B, G, R, 0): 2^bits or biClrUsed entries for 1..8 bits; biClrUsed
//   entries (an optimisation palette, skipped) for 16..32 bits.
//
//   Pixel rows are padded to 32 bits and stored bottom row first unless
//   biHeight is negative. An icon's biHeight counts its colour rows and
//   the same number of AND-mask rows.
//
//   RLE8 / RLE4 (bottom-up only), pairs of bytes:
//     n > 0, v     n pixels of index v (RLE4: alternating high, low nibble)
//     0, 0         end of line          0, 1   end of bitmap
//     0, 2, dx, dy move right dx and up dy
//     0, n >= 3    n literal indices (RLE4: nibbles), padded to 16 bits
#include "imaging/dib.h"

#include <bit>
#include <climits>

#include "imaging/bmp.h"

namespace pg::dib {
namespace {

bool KnownHeaderSize(std::uint32_t size) noexcept {
  return size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

bool ValidBitCount(int bits) noexcept {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// A channel mask must be one run of set bits; masks must not overlap and
// must fit the pixel.
bool ValidMasks(const std::array<std::uint32_t, 4>& masks, int bitCount) noexcept {
  const std::uint64_t room = (std::uint64_t{1} << bitCount) - 1;
  std::uint32_t seen = 0;
  for (std::uint32_t m : masks) {
    if (m == 0) continue;
    if (m > room || (m & seen) != 0) return false;
    const std::uint32_t shifted = m >> std::countr_zero(m);
    if ((shifted & (shifted + 1)) != 0) return false;  // holes in the run
    seen |= m;
  }
  return true;
}

// Extracts one channel of a packed pixel and widens it to 8 bits.
class Channel {
 public:
  explicit Channel(std::uint32_t mask) noexcept
      : mask_(mask),
        shift_(mask ? std::countr_zero(mask) : 0),
        bits_(std::popcount(mask)) {}
  std::uint8_t operator()(std::uint32_t pixel) const noexcept {
    if (bits_ == 0) return 0;
    const std::uint32_t v = (pixel & mask_) >> shift_;
    if (bits_ >= 8) return static_cast<std::uint8_t>(v >> (bits_ - 8));
    const std::uint32_t max = (1u << bits_) - 1;
    return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
  }
  bool Present() const noexcept { return bits_ != 0; }

 private:
  std::uint32_t mask_;
  int shift_;
  int bits_;
};

// The image row a stored row lands in.
int TargetRow(const Layout& l, int storedRow) noexcept {
  return l.topDown ? storedRow : l.rows - 1 - storedRow;
}

Result<Pixels> DecodeUncompressed(const Layout& l, Bytes data) {
  const std::uint64_t need = l.stride * static_cast<std::uint64_t>(l.rows);
  if (data.size() < need) return Error::kTruncated;
  Pixels out;
  out.image = Image(l.width, l.rows);
  out.consumed = need;
  const bool packed = l.bitCount == 16 || l.bitCount == 32;
  const Channel red(l.masks[0]), green(l.masks[1]), blue(l.masks[2]), alpha(l.masks[3]);
  const bool withAlpha = l.wantAlpha && l.bitCount == 32 && alpha.Present();
  if (withAlpha) out.alpha.assign(static_cast<std::size_t>(l.width) * static_cast<std::size_t>(l.rows), 0);
  const std::size_t paletteSize = l.palette.size();
  for (int r = 0; r < l.rows; ++r) {
    const std::uint8_t* row = data.data() + static_cast<std::size_t>(l.stride) * static_cast<std::size_t>(r);
    const int y = TargetRow(l, r);
    for (int x = 0; x < l.width; ++x) {
      Colour c = kBlack;
      if (l.bitCount <= 8) {
        const std::size_t bitPos = static_cast<std::size_t>(x) * static_cast<std::size_t>(l.bitCount);
        const int shift = 8 - l.bitCount - static_cast<int>(bitPos % 8);
        const unsigned index = (row[bitPos / 8] >> shift) & ((1u << l.bitCount) - 1);
        if (index >= paletteSize) return Error::kBadPaletteIndex;
        c = l.palette[index];
      } else if (l.bitCount == 24) {
        const std::uint8_t* p = row + static_cast<std::size_t>(x) * 3;
        c = Rgb(p[2], p[1], p[0]);
      } else if (packed) {
        const std::size_t bytes = static_cast<std::size_t>(l.bitCount / 8);
        const std::uint8_t* p = row + static_cast<std::size_t>(x) * bytes;
        std::uint32_t v = 0;
        for (std::size_t i = bytes; i-- > 0;) v = (v << 8) | p[i];
        c = Rgb(red(v), green(v), blue(v));
        if (withAlpha)
          out.alpha[static_cast<std::size_t>(y) * static_cast<std::size_t>(l.width) +
                    static_cast<std::size_t>(x)] = alpha(v);
      }
      out.image.SetPixel(x, y, c);
    }
  }
  return out;
}

Result<Pixels> DecodeRle(const Layout& l, Bytes data) {
  const bool four = l.compression == kBiRle4;
  Pixels out;
  out.image = Image(l.width, l.rows, kBlack);  // skipped pixels stay black
  ByteReader r(data);
  long long x = 0, row = 0;  // row counts from the bottom
  const auto put = [&](unsigned index) -> Error {
    if (index >= l.palette.size()) return Error::kBadPaletteIndex;
    out.image.SetPixel(static_cast<int>(x), l.rows - 1 - static_cast<int>(row), l.palette[index]);
    ++x;
    return Error::kOk;
  };
  // Every command reads at least two bytes, so the loop ends with the data.
  while (true) {
    if (r.Remaining() < 2) {
      // Tolerate a missing end-of-bitmap once every row is complete.
      if (row >= l.rows) return out;
      return Error::kTruncated;
    }
    const unsigned n = r.U8(), v = r.U8();
    if (n > 0) {
      if (row >= l.rows || x + n > l.width) return Error::kBadCompression;
      for (unsigned i = 0; i < n; ++i) {
        const unsigned index = four ? ((i % 2 == 0) ? v >> 4 : v & 0x0F) : v;
        if (Error e = put(index); e != Error::kOk) return e;
      }
      continue;
    }
    switch (v) {
      case 0:  // end of line
        if (row >= l.rows) return Error::kBadCompression;
        x = 0;
        ++row;
        break;
      case 1:  // end of bitmap
        return out;
      case 2: {  // delta
        const unsigned dx = r.U8(), dy = r.U8();
        if (r.Failed()) return Error::kTruncated;
        if (x + dx > l.width || row + dy > l.rows) return Error::kBadCompression;
        x += dx;
        row += dy;
        break;
      }
      default: {  // absolute run of v indices
        if (row >= l.rows || x + v > l.width) return Error::kBadCompression;
        const std::size_t bytes = four ? (v + 1) / 2 : v;
        Bytes run = r.Take(bytes);
        if (r.Failed()) return Error::kTruncated;
        for (unsigned i = 0; i < v; ++i) {
          const unsigned index = four ? ((i % 2 == 0) ? run[i / 2] >> 4 : run[i / 2] & 0x0F) : run[i];
          if (Error e = put(index); e != Error::kOk) return e;
        }
        // Runs are padded to a 16-bit boundary; a file that ends right
        // before the pad byte has lost nothing.
        if (bytes % 2 == 1 && r.Remaining() > 0) r.Skip(1);
        break;
      }
    }
  }
}

}  // namespace

namespace {

Result<Layout> Parse(Bytes dib, Kind kind, std::optional<std::uint64_t> pixelOffset, bool readColours) {
  ByteReader r(dib);
  Layout l;
  l.kind = kind;
  l.wantAlpha = kind == Kind::kIcon;
  l.headerSize = r.U32();
  if (r.Failed()) return Error::kTruncated;
  if (!KnownHeaderSize(l.headerSize))
    // 16 and 64 are OS/2 2.x headers: real, but not read here.
    return (l.headerSize == 16 || l.headerSize == 64) ? Error::kUnsupported : Error::kBadHeader;
  if (dib.size() < l.headerSize) return Error::kTruncated;

  const bool core = l.headerSize == 12;
  std::int64_t width = 0, height = 0;
  unsigned planes = 0;
  std::uint32_t clrUsed = 0;
  if (core) {
    width = r.U16();
    height = r.U16();
    planes = r.U16();
    l.bitCount = r.U16();
  } else {
    width = r.I32();
    height = r.I32();
    planes = r.U16();
    l.bitCount = r.U16();
    l.compression = r.U32();
    r.Skip(12);  // biSizeImage, resolution
    clrUsed = r.U32();
    r.Skip(4);
    if (l.headerSize >= 52) {
      l.masks[0] = r.U32();
      l.masks[1] = r.U32();
      l.masks[2] = r.U32();
    }
    if (l.headerSize >= 56) l.masks[3] = r.U32();
  }

  // Icon resources in the wild sometimes leave biPlanes at 0.
  if (planes != 1 && !(kind == Kind::kIcon && planes == 0)) return Error::kBadHeader;
  if (!ValidBitCount(l.bitCount) || (core && (l.bitCount == 16 || l.bitCount == 32)))
    return Error::kBadHeader;
  switch (l.compression) {
    case kBiRgb: break;
    case kBiRle8: if (l.bitCount != 8) return Error::kBadHeader; break;
    case kBiRle4: if (l.bitCount != 4) return Error::kBadHeader; break;
    case kBiBitfields:
    case kBiAlphaBitfields:
      if (l.bitCount != 16 && l.bitCount != 32) return Error::kBadHeader;
      break;
    case kBiJpeg:
    case kBiPng: return Error::kUnsupported;
    default: return Error::kBadHeader;
  }
  const bool rle = l.compression == kBiRle8 || l.compression == kBiRle4;
  // Where an icon's AND mask starts is not defined for run-length rows.
  if (rle && kind == Kind::kIcon) return Error::kUnsupported;

  if (width <= 0) return Error::kBadImageSize;
  // INT_MIN has no positive counterpart: refuse it before negating.
  if (height == 0 || height == INT_MIN) return Error::kBadImageSize;
  l.topDown = height < 0;
  if (l.topDown && rle) return Error::kBadHeader;  // the format forbids it
  std::int64_t rows = l.topDown ? -height : height;
  if (kind == Kind::kIcon) {
    if (l.topDown) return Error::kBadHeader;
    if (rows % 2 != 0) return Error::kBadImageSize;  // not colour + mask rows
    rows /= 2;
  }
  if (width > kMaxImageDimension || rows > kMaxImageDimension) return Error::kImageTooLarge;
  if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(rows) > kMaxImagePixels)
    return Error::kImageTooLarge;
  l.width = static_cast<int>(width);
  l.rows = static_cast<int>(rows);
  l.stride = RowStride(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(l.bitCount));

  // Channel masks.
  std::size_t pos = l.headerSize;
  if (l.compression == kBiBitfields || l.compression == kBiAlphaBitfields) {
    if (l.headerSize == 40) {
      const int count = l.compression == kBiAlphaBitfields ? 4 : 3;
      ByteReader m(dib, pos);
      for (int i = 0; i < count; ++i) l.masks[static_cast<std::size_t>(i)] = m.U32();
      if (m.Failed()) return Error::kTruncated;
      pos += static_cast<std::size_t>(count) * 4;
    }
    // Only 56-byte and larger headers, and BI_ALPHABITFIELDS, have an alpha mask.
    if (l.compression == kBiBitfields && l.headerSize < 56) l.masks[3] = 0;
    if (!ValidMasks(l.masks, l.bitCount)) return Error::kBadHeader;
  } else if (l.bitCount == 16) {
    l.masks = {0x7C00, 0x03E0, 0x001F, 0};  // 5-5-5
  } else if (l.bitCount == 32) {
    // The fourth byte is unused in bitmaps and alpha in icons.
    l.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  }
  l.headerEnd = pos;

  // Colour table.
  const std::size_t entrySize = core ? 3 : 4;
  std::uint64_t entries = 0;
  if (l.bitCount <= 8) {
    const std::uint64_t full = std::uint64_t{1} << l.bitCount;
    if (clrUsed > full) return Error::kBadPalette;
    entries = clrUsed == 0 ? full : clrUsed;
  } else {
    if (clrUsed > 256) return Error::kBadPalette;
    entries = clrUsed;
  }
  if (pixelOffset) {
    if (*pixelOffset < pos) return Error::kBadHeader;
    if (*pixelOffset > dib.size()) return Error::kTruncated;
    // A file whose pixels start inside the table has only the entries
    // before them (writers that store a short table without biClrUsed).
    if (pos + entries * entrySize > *pixelOffset) entries = (*pixelOffset - pos) / entrySize;
  } else if (pos + entries * entrySize > dib.size()) {
    return Error::kBadPalette;
  }
  if (l.bitCount <= 8 && entries == 0) return Error::kBadPalette;
  l.paletteEntries = static_cast<std::size_t>(entries);
  if (l.bitCount <= 8 && readColours) {
    const auto table = SubRange(dib, pos, entries * entrySize);
    if (!table) return Error::kBadPalette;
    l.palette.resize(static_cast<std::size_t>(entries));
    const std::uint8_t* entry = table->data();
    for (Colour& c : l.palette) {
      c = Rgb(entry[2], entry[1], entry[0]);  // stored blue, green, red
      entry += entrySize;
    }
  }
  l.tableEnd = pos + static_cast<std::size_t>(entries * entrySize);
  return l;
}

}  // namespace

Result<Layout> ParseLayout(Bytes dib, Kind kind, std::optional<std::uint64_t> pixelOffset) {
  return Parse(dib, kind, pixelOffset, true);
}

Result<Layout> ParseHeader(Bytes dib, Kind kind, std::optional<std::uint64_t> pixelOffset) {
  return Parse(dib, kind, pixelOffset, false);
}

Result<Pixels> DecodePixels(const Layout& layout, Bytes pixels) {
  if (layout.compression == kBiRle8 || layout.compression == kBiRle4) return DecodeRle(layout, pixels);
  return DecodeUncompressed(layout, pixels);
}

}  // namespace pg::dib
