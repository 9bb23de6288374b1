// Icon files and icon images.
//
//   ICONDIR (6 bytes, little-endian)      ICONDIRENTRY (16 bytes each)
//   off size field                        off size field
//    0   2   reserved = 0                  0   1   width  (0: 256 or more)
//    2   2   type: 1 = icon (0 accepted,   1   1   height (0: 256 or more)
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
#include "ico_reader.h"

#include <cassert>

#include "dib.h"
#include "png.h"
#include "resample.h"

namespace pg {
namespace {

Result<IconImage> DecodePngIcon(Bytes data, std::uint64_t pixelBudget) {
  auto rgba = png::Decode(data, kMaxIconDimension, pixelBudget);
  if (!rgba) return rgba.error();
  IconImage out;
  out.bitsPerPixel = 32;
  out.icon.colour = Image(rgba->width, rgba->height);
  out.icon.mask = Image(rgba->width, rgba->height);
  std::vector<std::uint8_t> alpha;
  alpha.reserve(rgba->pixels.size() / 4);
  for (int y = 0; y < rgba->height; ++y)
    for (int x = 0; x < rgba->width; ++x) {
      const std::uint8_t* p =
          &rgba->pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(rgba->width) + static_cast<std::size_t>(x)) * 4];
      out.icon.colour.SetPixel(x, y, Rgb(p[0], p[1], p[2]));
      alpha.push_back(p[3]);
    }
  // A PNG always carries its transparency in alpha (opaque formats get 255).
  ApplyAlpha(out.icon, alpha);
  return out;
}

Result<IconImage> DecodeDibIcon(Bytes data, std::uint64_t pixelBudget) {
  auto layout = dib::ParseLayout(data, dib::Kind::kIcon);
  if (!layout) return layout.error();
  if (layout->width > kMaxIconDimension || layout->rows > kMaxIconDimension ||
      static_cast<std::uint64_t>(layout->width) * static_cast<std::uint64_t>(layout->rows) > pixelBudget)
    return Error::kImageTooLarge;
  auto pixels = dib::DecodePixels(*layout, data.subspan(layout->tableEnd));
  if (!pixels) return pixels.error();

  IconImage out;
  out.bitsPerPixel = layout->bitCount;
  out.icon.colour = std::move(pixels->image);
  out.icon.mask = Image(layout->width, layout->rows, kBlack);
  bool anyAlpha = false;
  for (std::uint8_t a : pixels->alpha) anyAlpha |= a != 0;

  const std::uint64_t maskStart = layout->tableEnd + pixels->consumed;
  const std::uint64_t maskStride = dib::RowStride(static_cast<std::uint64_t>(layout->width), 1);
  const auto mask = SubRange(data, maskStart, maskStride * static_cast<std::uint64_t>(layout->rows));
  if (anyAlpha) {
    // Alpha decides; the AND mask is not looked at, and writers that leave
    // it out of a 32-bit image with alpha lose nothing.
    ApplyAlpha(out.icon, pixels->alpha);
    return out;
  }
  if (!mask) return Error::kTruncated;
  for (int r = 0; r < layout->rows; ++r) {
    const int y = layout->rows - 1 - r;
    const std::uint8_t* row = mask->data() + static_cast<std::size_t>(maskStride) * static_cast<std::size_t>(r);
    for (int x = 0; x < layout->width; ++x)
      if ((row[x / 8] >> (7 - x % 8)) & 1) out.icon.mask.SetPixel(x, y, kWhite);
  }
  return out;
}

Result<IconImage> Decode(Bytes data, std::uint64_t pixelBudget) {
  if (png::HasSignature(data)) return DecodePngIcon(data, pixelBudget);
  return DecodeDibIcon(data, pixelBudget);
}

std::uint64_t Area(const IconImage& im) noexcept {
  return static_cast<std::uint64_t>(im.Width()) * static_cast<std::uint64_t>(im.Height());
}

// The first of `images` that `better` prefers to every earlier candidate.
template <class Pred, class Better>
const IconImage* Pick(const std::vector<IconImage>& images, Pred candidate, Better better) {
  const IconImage* best = nullptr;
  for (const IconImage& im : images)
    if (candidate(im) && (best == nullptr || better(im, *best))) best = &im;
  return best;
}

}  // namespace

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

Result<IconImage> DecodeIconImage(Bytes data) { return Decode(data, kMaxIconPixelsPerFile); }

bool MatchesEntrySize(const IconImage& image, int entryWidth, int entryHeight) noexcept {
  const auto matches = [](int actual, int entry) { return entry == 0 ? actual >= 256 : actual == entry; };
  return matches(image.Width(), entryWidth) && matches(image.Height(), entryHeight);
}

Result<std::vector<IconImage>> ReadIcoImages(Bytes file) {
  ByteReader r(file);
  const std::uint16_t reserved = r.U16(), type = r.U16(), count = r.U16();
  if (r.Failed()) return Error::kTruncated;
  if (reserved != 0 || type > 1) return Error::kBadSignature;
  if (count == 0) return Error::kNoImages;
  // The whole directory must be there before any entry is believed.
  if (6 + std::uint64_t{16} * count > file.size()) return Error::kTruncated;
  if (count > kMaxIcoImages) return Error::kBadHeader;

  std::vector<IconImage> images;
  images.reserve(count);
  std::uint64_t budget = kMaxIconPixelsPerFile;
  for (int i = 0; i < count; ++i) {
    const int width = r.U8(), height = r.U8();
    r.Skip(2);  // colour count, reserved
    const std::uint16_t planes = r.U16(), bits = r.U16();
    const std::uint32_t size = r.U32(), offset = r.U32();
    // The entry's planes and bits are only hints, but values no icon can
    // have mark a damaged directory.
    if (planes > 1 || bits > 32) return Error::kBadHeader;
    const auto data = SubRange(file, offset, size);
    if (!data) return Error::kTruncated;
    auto image = Decode(*data, budget);
    if (!image) return image.error();
    if (!MatchesEntrySize(*image, width, height)) return Error::kBadImageSize;
    budget -= Area(*image);
    images.push_back(std::move(*image));
  }
  return images;
}

Icon ChooseIconImage(const std::vector<IconImage>& images, int size) {
  assert(!images.empty() && "there is no icon to choose from no images");
  const auto exact = [size](const IconImage& im) { return im.Width() == size && im.Height() == size; };
  if (const IconImage* best = Pick(images, exact, [](const IconImage& a, const IconImage& b) {
        return a.bitsPerPixel > b.bitsPerPixel;
      }))
    return best->icon;
  // Smaller in area first, then more colours.
  const auto fewerPixelsThenMoreColours = [](const IconImage& a, const IconImage& b) {
    return Area(a) != Area(b) ? Area(a) < Area(b) : a.bitsPerPixel > b.bitsPerPixel;
  };
  const auto covers = [size](const IconImage& im) { return im.Width() >= size && im.Height() >= size; };
  if (const IconImage* best = Pick(images, covers, fewerPixelsThenMoreColours)) return ResizeIcon(best->icon, size);
  const IconImage* best = Pick(images, [](const IconImage&) { return true; },
                               [](const IconImage& a, const IconImage& b) {
                                 return Area(a) != Area(b) ? Area(a) > Area(b) : a.bitsPerPixel > b.bitsPerPixel;
                               });
  return best->icon;
}

Result<Icon> ReadIcoFile(Bytes file, int size) {
  auto images = ReadIcoImages(file);
  if (!images) return images.error();
  return ChooseIconImage(*images, size);
}

}  // namespace pg
