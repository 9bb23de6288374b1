// Clipboard pictures.
//
//   CF_DIB     a packed DIB: BITMAPINFOHEADER (40 bytes; older programs also
//              put BITMAPCOREHEADER), three masks after it when biCompression
//              is BI_BITFIELDS, the colour table, the rows (see dib.cpp).
//   CF_DIBV5   the same with a BITMAPV5HEADER (124 bytes): the masks, alpha
//              included, live inside the header. Some writers repeat the
//              three colour masks after it as a 40-byte header would need;
//              such a copy is recognised and skipped.
//   "PNG"      a PNG stream, as browsers and image programs offer it.
//
// The system rounds clipboard blocks up, so every format may be followed by
// bytes that belong to nothing; they are ignored. Nothing in a block is
// trusted: the layout is checked before anything is allocated, and the rows
// must all be there.
#include "imaging/clipboard_image.h"

#include <algorithm>
#include <cassert>

#include "imaging/bmp.h"
#include "imaging/dib.h"
#include "imaging/ico_reader.h"
#include "imaging/icon_source.h"
#include "imaging/png.h"

namespace pg {
namespace {

// Alpha that is the same everywhere says nothing a paste could use: 255 is
// opaque anyway, and a 32-bit DIB's fourth byte left at zero was never meant
// as alpha (a PNG's zero alpha, though, is real).
void DropUniformAlpha(ClipboardImage& picture, bool zeroMeansUnused) {
  const auto& a = picture.alpha;
  if (a.empty()) return;
  const bool uniform = std::all_of(a.begin(), a.end(), [&](std::uint8_t v) { return v == a.front(); });
  if (uniform && (a.front() == 255 || (a.front() == 0 && zeroMeansUnused))) picture.alpha.clear();
}

// Where the rows start: right after the colour table, or 12 bytes later when
// a header that holds its own masks is followed by a copy of them.
std::size_t PixelStart(const dib::Layout& l, Bytes dib) {
  const bool copiedMasks = l.compression == dib::kBiBitfields && l.headerSize > 40 && l.palette.empty() &&
                           l.tableEnd == l.headerEnd;
  if (!copiedMasks) return l.tableEnd;
  const std::uint64_t rows = l.stride * static_cast<std::uint64_t>(l.rows);
  if (dib.size() - l.tableEnd < rows + 12) return l.tableEnd;
  ByteReader r(dib, l.tableEnd);
  for (std::size_t i = 0; i < 3; ++i)
    if (r.U32() != l.masks[i]) return l.tableEnd;
  return l.tableEnd + 12;
}

}  // namespace

Result<ClipboardImage> ReadClipboardDib(Bytes dib) {
  auto layout = dib::ParseLayout(dib, dib::Kind::kBitmap);
  if (!layout) return layout.error();
  layout->wantAlpha = true;
  auto pixels = dib::DecodePixels(*layout, dib.subspan(PixelStart(*layout, dib)));
  if (!pixels) return pixels.error();
  ClipboardImage out;
  out.image = std::move(pixels->image);
  out.alpha = std::move(pixels->alpha);
  out.bitsPerPixel = layout->bitCount;
  DropUniformAlpha(out, true);
  return out;
}

Result<ClipboardImage> ReadClipboardPng(Bytes png) {
  auto rgba = png::Decode(png, kMaxImageDimension, kMaxImagePixels);
  if (!rgba) return rgba.error();
  ClipboardImage out;
  out.bitsPerPixel = 32;
  out.image = Image(rgba->width, rgba->height);
  out.alpha.reserve(rgba->pixels.size() / 4);
  std::size_t i = 0;
  for (int y = 0; y < rgba->height; ++y)
    for (int x = 0; x < rgba->width; ++x, i += 4) {
      out.image.SetPixel(x, y, Rgb(rgba->pixels[i], rgba->pixels[i + 1], rgba->pixels[i + 2]));
      out.alpha.push_back(rgba->pixels[i + 3]);
    }
  DropUniformAlpha(out, false);
  return out;
}

Icon PastedIcon(const ClipboardImage& picture, int size) {
  assert(!picture.image.Empty() && "a pasted icon needs a picture");
  return PictureIcon(picture.image, picture.alpha, size);
}

std::vector<std::uint8_t> ClipboardDib(const Image& image) {
  // A bitmap file without its 14-byte file header is exactly a packed DIB:
  // the file writer puts the rows right after the 40-byte header.
  std::vector<std::uint8_t> file = WriteBmp24(image);
  file.erase(file.begin(), file.begin() + 14);
  return file;
}

}  // namespace pg
