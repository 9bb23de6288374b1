// Bitmap files and packed DIBs.
//
//   BITMAPFILEHEADER (14 bytes, little-endian)
//   off size field
//    0   2   bfType = "BM"
//    2   4   bfSize (not trusted: the reader works from the data it has)
//    6   4   reserved
//   10   4   bfOffBits: pixel rows, from the start of the file (0: right
//            after the colour table)
//   14   ..  a DIB header, masks and colour table (see dib.cpp)
//
// A packed DIB is the same without the 14-byte file header; its rows follow
// the colour table directly.
#include "imaging/bmp.h"

#include <cassert>

#include "imaging/dib.h"

namespace pg {
namespace {

constexpr std::size_t kFileHeaderSize = 14;

Result<Image> Decode(Bytes dib, std::optional<std::uint64_t> pixelOffset) {
  auto layout = dib::ParseLayout(dib, dib::Kind::kBitmap, pixelOffset);
  if (!layout) return layout.error();
  const std::size_t start = pixelOffset ? static_cast<std::size_t>(*pixelOffset) : layout->tableEnd;
  auto pixels = dib::DecodePixels(*layout, dib.subspan(start));
  if (!pixels) return pixels.error();
  return std::move(pixels->image);
}

void PutU16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

// The pixel offset from the DIB's start that a file header names, if any.
Result<std::optional<std::uint64_t>> PixelOffset(Bytes file) {
  if (file.size() < 2 || file[0] != 'B' || file[1] != 'M') return Error::kBadSignature;
  ByteReader r(file, 10);
  const std::uint32_t offBits = r.U32();
  if (r.Failed()) return Error::kTruncated;
  if (offBits == 0) return std::optional<std::uint64_t>();
  if (offBits < kFileHeaderSize) return Error::kBadHeader;
  return std::optional<std::uint64_t>(offBits - kFileHeaderSize);
}

}  // namespace

Result<Image> ReadBmp(Bytes file) {
  auto pixelOffset = PixelOffset(file);
  if (!pixelOffset) return pixelOffset.error();
  return Decode(file.subspan(kFileHeaderSize), *pixelOffset);
}

Result<BmpSize> ReadBmpSize(Bytes file) {
  auto pixelOffset = PixelOffset(file);
  if (!pixelOffset) return pixelOffset.error();
  auto layout = dib::ParseLayout(file.subspan(kFileHeaderSize), dib::Kind::kBitmap, *pixelOffset);
  if (!layout) return layout.error();
  return BmpSize{layout->width, layout->rows};
}

Result<Image> ReadPackedDib(Bytes dib) { return Decode(dib, std::nullopt); }

std::vector<std::uint8_t> WriteBmp24(const Image& image) {
  assert(!image.Empty() && "a bitmap file needs at least one pixel");
  const auto stride = static_cast<std::uint32_t>(dib::RowStride(static_cast<std::uint64_t>(image.Width()), 24));
  const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(image.Height());
  const std::uint32_t offBits = kFileHeaderSize + 40;
  std::vector<std::uint8_t> out;
  out.reserve(offBits + pixelBytes);
  out.push_back('B');
  out.push_back('M');
  PutU32(out, offBits + pixelBytes);
  PutU32(out, 0);
  PutU32(out, offBits);
  PutU32(out, 40);
  PutU32(out, static_cast<std::uint32_t>(image.Width()));
  PutU32(out, static_cast<std::uint32_t>(image.Height()));  // bottom-up
  PutU16(out, 1);
  PutU16(out, 24);
  PutU32(out, dib::kBiRgb);
  PutU32(out, pixelBytes);
  PutU32(out, 2835);  // 72 dpi
  PutU32(out, 2835);
  PutU32(out, 0);
  PutU32(out, 0);
  const std::size_t pad = stride - static_cast<std::size_t>(image.Width()) * 3;
  for (int y = image.Height() - 1; y >= 0; --y) {
    for (int x = 0; x < image.Width(); ++x) {
      const Colour c = image.GetPixel(x, y);
      out.push_back(BlueOf(c));
      out.push_back(GreenOf(c));
      out.push_back(RedOf(c));
    }
    out.insert(out.end(), pad, 0);
  }
  return out;
}

}  // namespace pg
