// The icon files Save writes: the single 32x32 image, and the multi-size icon.
//
// Multi-size icon file (all little-endian):
//   ICONDIR        reserved 0, type 1, image count
//   ICONDIRENTRY   per image, largest first: width, height (256 as 0),
//                  colour count 0, reserved 0, planes 1, bit count 32,
//                  bytes in the image, offset of the image
//   images         below 256: BITMAPINFOHEADER (height = 2 x size, 32 bits,
//                  BI_RGB), BGRA rows bottom row first, AND mask rows
//                  bottom row first, 1 = transparent (alpha 0), each padded
//                  to 32 bits; 256: a PNG stream (8-bit RGBA)
#include "imaging/icon_writer.h"

#include <cassert>

#include "imaging/byte_reader.h"
#include "imaging/dib.h"
#include "imaging/slot_source.h"

// One translation unit holds stb_image_write, PNG only, to memory only.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace pg {
namespace {

using Out = ByteWriter;

std::vector<std::uint8_t> DibImage(const RgbaImage& im) {
  const int n = im.width;
  const std::uint32_t maskStride = static_cast<std::uint32_t>(dib::RowStride(static_cast<std::uint64_t>(n), 1));
  const std::uint32_t colourBytes = static_cast<std::uint32_t>(n) * static_cast<std::uint32_t>(n) * 4;
  const std::uint32_t maskBytes = maskStride * static_cast<std::uint32_t>(n);
  std::vector<std::uint8_t> b;
  b.reserve(40 + colourBytes + maskBytes);
  Out o(b);
  o.U32(40); o.U32(static_cast<std::uint32_t>(n)); o.U32(static_cast<std::uint32_t>(2 * n));
  o.U16(1); o.U16(32); o.U32(0); o.U32(colourBytes + maskBytes);
  o.U32(0); o.U32(0); o.U32(0); o.U32(0);
  for (int y = n - 1; y >= 0; --y)
    for (int x = 0; x < n; ++x) {
      const std::uint8_t* p = im.At(x, y);
      o.U8(p[2]); o.U8(p[1]); o.U8(p[0]); o.U8(p[3]);
    }
  for (int y = n - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(maskStride, 0);
    for (int x = 0; x < n; ++x)
      if (im.AlphaAt(x, y) == 0) row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

std::vector<std::uint8_t> PngImage(const RgbaImage& im) {
  // stb's own choice of filter tries all five on every row and its deepest
  // match search gains little on icons; the Sub filter at a middle level
  // keeps a 256x256 picture within a few per cent of that size at half the
  // time, which matters because a save waits for it. (Settings of this
  // translation unit's own copy of the writer.)
  stbi_write_png_compression_level = 4;
  stbi_write_force_png_filter = 1;
  std::vector<std::uint8_t> out;
  const auto append = [](void* context, void* data, int size) {
    auto* v = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* p = static_cast<const std::uint8_t*>(data);
    v->insert(v->end(), p, p + size);
  };
  const int ok = stbi_write_png_to_func(append, &out, im.width, im.height, 4, im.pixels.data(), im.width * 4);
  assert(ok && "PNG writing to memory fails only when memory does");
  (void)ok;
  return out;
}

}  // namespace

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

std::vector<std::uint8_t> WriteMultiSizeIcon(std::vector<RgbaImage> images) {
  std::stable_sort(images.begin(), images.end(),
                   [](const RgbaImage& a, const RgbaImage& b) { return a.width > b.width; });
  std::vector<std::vector<std::uint8_t>> data;
  data.reserve(images.size());
  for (const RgbaImage& im : images) {
    assert(im.width == im.height && im.width >= 1 && im.width <= kMaxIconSize && "square, 1 to 256");
    data.push_back(im.width == kMaxIconSize ? PngImage(im) : DibImage(im));
  }
  std::vector<std::uint8_t> file;
  Out o(file);
  o.U16(0); o.U16(1); o.U16(static_cast<std::uint16_t>(images.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const auto side = static_cast<std::uint8_t>(images[i].width >= 256 ? 0 : images[i].width);
    o.U8(side); o.U8(side); o.U8(0); o.U8(0);
    o.U16(1); o.U16(32);
    o.U32(static_cast<std::uint32_t>(data[i].size())); o.U32(offset);
    offset += static_cast<std::uint32_t>(data[i].size());
  }
  for (const auto& d : data) file.insert(file.end(), d.begin(), d.end());
  return file;
}

}  // namespace pg
