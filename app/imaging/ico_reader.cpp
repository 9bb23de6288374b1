// Icon files and icon images.
//
//   ICONDIR (6 bytes, little-endian)      ICONDIRENTRY (16 bytes each)
//   off size field                        off size field
//    0   2   reserved = 0                  0   1   width  (0: 256 or more; a hint)
//    2   2   type: 1 = icon (0 accepted,   1   1   height (0: 256 or more; a hint)
//            as some writers leave it)     2   1   colour count (ignored)
//    4   2   image count                   3   1   reserved (ignored)
//    6   ..  count entries                 4   2   planes (0 or 1)
//                                          6   2   bit count (a hint only)
//                                          8   4   bytes of the image
//                                         12   4   offset of the image in the file
//
// An image (the same bytes as an RT_ICON resource) is either a PNG stream
// or a DIB with a 40-byte (or larger) header whose biHeight is twice the
// icon's height, its colour table, the colour (XOR) rows and then the AND
// mask: one bit per pixel, 1 = transparent, rows padded to 32 bits
// ((w + 31) / 32 * 4 bytes), bottom row first. The number of bits is taken
// from the image's own header; the entry's bit count is often wrong.
#include "imaging/ico_reader.h"

#include <algorithm>
#include <cassert>

#include "imaging/dib.h"
#include "imaging/png.h"
#include "imaging/resample.h"

namespace pg {
namespace {

Result<IconImage> DecodePngIcon(Bytes data, std::uint64_t pixelBudget) {
  auto rgba = png::Decode(data, kMaxIconDimension, pixelBudget);
  if (!rgba) return rgba.error();
  IconImage out;
  out.bitsPerPixel = 32;
  // A PNG always carries its transparency in alpha (opaque formats get 255),
  // by the same rule as a 32-bit DIB's.
  out.icon.colour = Image(rgba->width, rgba->height);
  out.icon.mask = Image(rgba->width, rgba->height);
  const std::uint8_t* p = rgba->pixels.data();
  for (int y = 0; y < rgba->height; ++y)
    for (int x = 0; x < rgba->width; ++x, p += 4) {
      const bool opaque = p[3] >= kOpaqueAlpha;
      out.icon.mask.SetPixel(x, y, opaque ? kBlack : kWhite);
      out.icon.colour.SetPixel(x, y, opaque ? Rgb(p[0], p[1], p[2]) : kBlack);
    }
  return out;
}

Result<IconImage> DecodeDibIcon(Bytes data, std::uint64_t pixelBudget) {
  auto pixels = DecodeDibIconPixels(data, pixelBudget);
  if (!pixels) return pixels.error();
  IconImage out;
  out.bitsPerPixel = pixels->bitsPerPixel;
  const int w = pixels->colour.Width(), h = pixels->colour.Height();
  out.icon.colour = std::move(pixels->colour);
  out.icon.mask = Image(w, h, kBlack);
  if (pixels->alphaChannel) {
    ApplyAlpha(out.icon, pixels->alpha);
    return out;
  }
  // The AND mask alone: the colour stays, so that pixels the mask leaves
  // transparent but coloured draw inverting.
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (pixels->alpha[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] == 0)
        out.icon.mask.SetPixel(x, y, kWhite);
  return out;
}

Result<IconImage> Decode(Bytes data, std::uint64_t pixelBudget) {
  if (png::HasSignature(data)) return DecodePngIcon(data, pixelBudget);
  return DecodeDibIcon(data, pixelBudget);
}

// 0: the exact size; 1: larger in both directions (scaled down); 2: the rest
// (kept at its own size).
int Tier(const IconImageHeader& h, int size) noexcept {
  if (h.width == size && h.height == size) return 0;
  return h.width >= size && h.height >= size ? 1 : 2;
}

}  // namespace

Result<DibIconPixels> DecodeDibIconPixels(Bytes data, std::uint64_t pixelBudget) {
  auto layout = dib::ParseLayout(data, dib::Kind::kIcon);
  if (!layout) return layout.error();
  if (layout->width > kMaxIconDimension || layout->rows > kMaxIconDimension ||
      static_cast<std::uint64_t>(layout->width) * static_cast<std::uint64_t>(layout->rows) > pixelBudget)
    return Error::kImageTooLarge;
  auto pixels = dib::DecodePixels(*layout, data.subspan(layout->tableEnd));
  if (!pixels) return pixels.error();
  DibIconPixels out;
  out.bitsPerPixel = layout->bitCount;
  out.colour = std::move(pixels->image);
  for (std::uint8_t a : pixels->alpha) out.alphaChannel |= a != 0;
  if (out.alphaChannel) {
    // Alpha decides; the AND mask is not looked at, and writers that leave
    // it out of a 32-bit image with alpha lose nothing.
    out.alpha = std::move(pixels->alpha);
    return out;
  }
  const int w = layout->width, h = layout->rows;
  const std::uint64_t maskStart = layout->tableEnd + pixels->consumed;
  const std::uint64_t maskStride = dib::RowStride(static_cast<std::uint64_t>(w), 1);
  const auto mask = SubRange(data, maskStart, maskStride * static_cast<std::uint64_t>(h));
  if (!mask) return Error::kTruncated;
  out.alpha.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y) {
    // Mask rows run bottom to top.
    const std::uint8_t* row = mask->data() + static_cast<std::size_t>(maskStride) * static_cast<std::size_t>(h - 1 - y);
    for (int x = 0; x < w; ++x)
      out.alpha[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] =
          ((row[x / 8] >> (7 - x % 8)) & 1) ? 0 : 255;
  }
  return out;
}

void ApplyAlpha(Icon& icon, std::span<const std::uint8_t> alpha) {
  const int w = icon.Width();
  assert(alpha.size() == static_cast<std::size_t>(w) * static_cast<std::size_t>(icon.Height()) &&
         "one alpha value per pixel");
  for (int y = 0; y < icon.Height(); ++y)
    for (int x = 0; x < w; ++x) {
      const bool opaque =
          alpha[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] >=
          kOpaqueAlpha;
      icon.mask.SetPixel(x, y, opaque ? kBlack : kWhite);
      if (!opaque) icon.colour.SetPixel(x, y, kBlack);
    }
}

Result<IconImageHeader> ReadIconImageHeader(Bytes data) {
  IconImageHeader out;
  if (png::HasSignature(data)) {
    auto h = png::ReadHeader(data);
    if (!h) return h.error();
    out = {h->width, h->height, 32, h->bitsPerPixel};
  } else {
    auto layout = dib::ParseHeader(data, dib::Kind::kIcon);
    if (!layout) return layout.error();
    out = {layout->width, layout->rows, layout->bitCount, layout->bitCount};
    if (out.width > kMaxIconDimension || out.height > kMaxIconDimension || out.Pixels() > kMaxIconImagePixels)
      return Error::kImageTooLarge;
    // The colour rows must all be there, and the AND mask too unless the
    // image has 32 bits, whose alpha may stand in for it.
    const auto rows = static_cast<std::uint64_t>(layout->rows);
    const std::uint64_t colour = layout->stride * rows;
    const std::uint64_t mask = dib::RowStride(static_cast<std::uint64_t>(layout->width), 1) * rows;
    const std::uint64_t present = data.size() - layout->tableEnd;
    if (present < colour + (layout->bitCount == 32 ? 0 : mask)) return Error::kTruncated;
    out.decodes = layout->bitCount > 8 ? present >= colour + mask
                                       : layout->paletteEntries >= (std::size_t{1} << layout->bitCount);
  }
  if (out.width > kMaxIconDimension || out.height > kMaxIconDimension || out.Pixels() > kMaxIconImagePixels)
    return Error::kImageTooLarge;
  return out;
}

bool ServesBefore(const IconImageHeader& a, const IconImageHeader& b, int size) noexcept {
  const int ta = Tier(a, size), tb = Tier(b, size);
  if (ta != tb) return ta < tb;
  // Exact: more colours first. Larger: the smallest, then more colours.
  // Smaller: the largest, then more colours.
  if (ta != 0 && a.Pixels() != b.Pixels()) return ta == 1 ? a.Pixels() < b.Pixels() : a.Pixels() > b.Pixels();
  return a.bitsPerPixel > b.bitsPerPixel;
}

std::vector<std::size_t> RankIconImages(const std::vector<IconImageHeader>& headers, int size) {
  std::vector<std::size_t> order(headers.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t ia, std::size_t ib) {
    return ServesBefore(headers[ia], headers[ib], size);
  });
  return order;
}

Result<IconImage> DecodeIconImage(Bytes data) { return Decode(data, kMaxIconImagePixels); }

Result<std::vector<IconImageRef>> ReadIcoDirectory(Bytes file, bool cursorsToo) {
  ByteReader r(file);
  const std::uint16_t reserved = r.U16(), type = r.U16(), count = r.U16();
  if (r.Failed()) return Error::kTruncated;
  const bool cursor = cursorsToo && type == 2;
  if (reserved != 0 || (type > 1 && !cursor)) return Error::kBadSignature;
  if (count == 0) return Error::kNoImages;
  // The whole directory must be there before any entry is believed.
  if (6 + std::uint64_t{16} * count > file.size()) return Error::kTruncated;
  if (count > kMaxIcoImages) return Error::kBadHeader;

  std::vector<IconImageRef> images;
  images.reserve(count);
  for (int i = 0; i < count; ++i) {
    // The entry's width and height are hints, as in a group of an
    // executable: the image's own header gives its size.
    r.Skip(4);  // width, height, colour count, reserved
    const std::uint16_t planes = r.U16(), bits = r.U16();
    const std::uint32_t size = r.U32(), offset = r.U32();
    // The entry's planes and bits are only hints, but values no icon can
    // have mark a damaged directory.
    if (!cursor && (planes > 1 || bits > 32)) return Error::kBadHeader;
    const auto data = SubRange(file, offset, size);
    if (!data) return Error::kTruncated;
    auto header = ReadIconImageHeader(*data);
    if (!header) return header.error();
    images.push_back({*header, *data});
  }
  return images;
}

Result<std::vector<IconImage>> ReadIcoImages(Bytes file) {
  auto directory = ReadIcoDirectory(file);
  if (!directory) return directory.error();
  // Every image is kept, so all of them together get one image's budget.
  std::uint64_t budget = kMaxIconImagePixels;
  for (const IconImageRef& ref : *directory) {
    if (ref.header.Pixels() > budget) return Error::kImageTooLarge;
    budget -= ref.header.Pixels();
  }
  std::vector<IconImage> images;
  images.reserve(directory->size());
  for (const IconImageRef& ref : *directory) {
    auto image = Decode(ref.data, ref.header.Pixels());
    if (!image) return image.error();
    images.push_back(std::move(*image));
  }
  return images;
}

Icon FitIconImage(const IconImage& image, int size) {
  return Tier({image.Width(), image.Height(), image.bitsPerPixel}, size) == 1 ? ResizeIcon(image.icon, size)
                                                                            : image.icon;
}

Icon ChooseIconImage(const std::vector<IconImage>& images, int size) {
  assert(!images.empty() && "there is no icon to choose from no images");
  std::vector<IconImageHeader> headers;
  headers.reserve(images.size());
  for (const IconImage& im : images) headers.push_back({im.Width(), im.Height(), im.bitsPerPixel});
  return FitIconImage(images[RankIconImages(headers, size).front()], size);
}

Result<Icon> DecodeBestImage(const std::vector<IconImageRef>& images, int size, std::uint64_t& budget) {
  std::vector<IconImageHeader> headers;
  headers.reserve(images.size());
  for (const IconImageRef& ref : images) headers.push_back(ref.header);
  Error first = Error::kOk;
  for (std::size_t i : RankIconImages(headers, size)) {
    const std::uint64_t pixels = headers[i].Pixels();
    if (pixels > budget) {
      if (first == Error::kOk) first = Error::kTooMuchImageData;
      continue;
    }
    budget -= pixels;
    auto image = Decode(images[i].data, pixels);
    if (image) return FitIconImage(*image, size);
    if (first == Error::kOk) first = image.error();
  }
  return first == Error::kOk ? Error::kNoImages : first;
}

Result<Icon> ReadIcoFile(Bytes file, int size) {
  auto directory = ReadIcoDirectory(file);
  if (!directory) return directory.error();
  std::uint64_t budget = kMaxIconPixelsPerFile;
  return DecodeBestImage(*directory, size, budget);
}

}  // namespace pg
