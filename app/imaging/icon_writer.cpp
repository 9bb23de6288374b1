#include "imaging/icon_writer.h"

#include <cassert>

#include "imaging/byte_reader.h"

namespace pg {
namespace {

using Out = ByteWriter;

void WriteHeaders(Out& o, int bpp) {
  const bool eight = bpp == 8;
  const std::uint32_t colourBytes = eight ? 32 * 32 : 96 * 32;
  const std::uint32_t imageBytes = 40 + (eight ? 1024 : 0) + colourBytes + 128;
  // Icon directory and its one entry.
  o.U16(0); o.U16(1); o.U16(1);
  o.U8(32); o.U8(32); o.U8(0); o.U8(0);
  o.U16(0); o.U16(0);
  o.U32(imageBytes); o.U32(22);
  // BITMAPINFOHEADER: height counts colour and mask rows.
  o.U32(40); o.U32(32); o.U32(64); o.U16(1); o.U16(static_cast<std::uint16_t>(bpp));
  o.U32(0); o.U32(colourBytes + 128); o.U32(0); o.U32(0);
  o.U32(eight ? 256 : 0); o.U32(0);
}

void WriteMask(Out& o, const Image& mask) {
  for (int y = kCellSize - 1; y >= 0; --y) {
    for (int byte = 0; byte < 4; ++byte) {
      std::uint8_t bits = 0;
      for (int bit = 0; bit < 8; ++bit)
        if (mask.GetPixel(byte * 8 + bit, y) == kWhite) bits |= static_cast<std::uint8_t>(0x80 >> bit);
      o.U8(bits);
    }
  }
}

}  // namespace

IconFileBytes WriteIconFile(const Icon& icon, int saveDepth, PaletteTable& table,
                            const ProgressFn& progress) {
  assert((saveDepth == 8 || saveDepth == 24) && "icons are written with 8 or 24 bits");
  const auto report = [&](int p) { if (progress) progress(p); };
  report(0);
  const int n = table.BuildIconPalette(icon.colour);
  IconFileBytes file;
  file.bitsPerPixel = (n == kPaletteOverflow || saveDepth == 24) ? 24 : 8;
  Out o(file.bytes);
  report(25);
  if (file.bitsPerPixel == 24) {
    file.bytes.reserve(kIconFileSize24);
    WriteHeaders(o, 24);
    report(50);
    for (int y = kCellSize - 1; y >= 0; --y) {
      for (int x = 0; x < kCellSize; ++x) {
        // Outside a smaller colour image the pixel is simply black.
        const Colour c = icon.colour.Contains(x, y) ? icon.colour.GetPixel(x, y) : kBlack;
        o.U8(BlueOf(c)); o.U8(GreenOf(c)); o.U8(RedOf(c));
      }
    }
  } else {
    file.bytes.reserve(kIconFileSize8);
    report(40);
    std::vector<std::uint8_t> indices;
    indices.reserve(kCellSize * kCellSize);
    for (int y = kCellSize - 1; y >= 0; --y)
      for (int x = 0; x < kCellSize; ++x) {
        const Colour c = icon.colour.Contains(x, y) ? icon.colour.GetPixel(x, y) : kBlack;
        indices.push_back(static_cast<std::uint8_t>(table.NearestIndex(c, n)));
      }
    report(60);
    WriteHeaders(o, 8);
    report(80);
    const auto quads = table.PaletteAsRgbQuads();
    file.bytes.insert(file.bytes.end(), quads.begin(), quads.end());
    file.bytes.insert(file.bytes.end(), indices.begin(), indices.end());
  }
  WriteMask(o, icon.mask);
  report(100);
  assert(file.bytes.size() == (file.bitsPerPixel == 8 ? kIconFileSize8 : kIconFileSize24));
  return file;
}

}  // namespace pg
