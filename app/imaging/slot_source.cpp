// Building a slot's source: the images of an icon group, an icon file, a
// picture or a single icon, with their alpha.
#include "imaging/slot_source.h"

#include <algorithm>
#include <cassert>
#include <optional>

#include "imaging/clipboard_image.h"
#include "imaging/ico_reader.h"
#include "imaging/png.h"

namespace pg {
namespace {

RgbaImage FromIcon(const Icon& icon) {
  RgbaImage out(icon.Width(), icon.Height());
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) {
      // White mask: transparent, whatever the colour (an inverting pixel
      // cannot be told by alpha).
      if (icon.mask.GetPixel(x, y) == kWhite) continue;
      const Colour c = icon.colour.Contains(x, y) ? icon.colour.GetPixel(x, y) : kBlack;
      out.Set(x, y, c, 255);
    }
  return out;
}

void ClearTransparent(RgbaImage& im) noexcept {
  for (std::size_t i = 0; i < im.pixels.size(); i += 4)
    if (im.pixels[i + 3] == 0) im.pixels[i] = im.pixels[i + 1] = im.pixels[i + 2] = 0;
}

}  // namespace

int LayerTarget(const SlotSource& source, int size) noexcept {
  return source.small ? std::max(1, size / 2) : size;
}

Result<SourceImage> DecodeSourceImage(Bytes data) {
  SourceImage out;
  if (png::HasSignature(data)) {
    auto rgba = png::Decode(data, kMaxIconDimension, kMaxIconPixelsPerFile);
    if (!rgba) return rgba.error();
    out.rgba.width = rgba->width;
    out.rgba.height = rgba->height;
    out.rgba.pixels = std::move(rgba->pixels);
    ClearTransparent(out.rgba);
    return out;
  }
  auto pixels = DecodeDibIconPixels(data, kMaxIconPixelsPerFile);
  if (!pixels) return pixels.error();
  out.bitsPerPixel = pixels->bitsPerPixel;
  const int w = pixels->colour.Width(), h = pixels->colour.Height();
  out.rgba = RgbaImage(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::uint8_t a =
          pixels->alpha[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)];
      if (a != 0) out.rgba.Set(x, y, pixels->colour.GetPixel(x, y), a);
    }
  return out;
}

Result<SlotSource> DecodeSlotSource(std::span<const Bytes> images, bool small) {
  std::vector<IconImageHeader> shapes(images.size());
  std::vector<Error> state(images.size(), Error::kOk);
  for (std::size_t i = 0; i < images.size(); ++i) {
    auto header = ReadIconImageHeader(images[i]);
    if (header) shapes[i] = *header;
    else state[i] = header.error();
  }
  std::vector<std::optional<SourceImage>> decoded(images.size());
  std::uint64_t budget = kMaxIconPixelsPerFile;
  Error first = images.empty() ? Error::kNoImages : Error::kOk;
  SlotSource source;
  source.small = small;
  for (int size : kIconSizes) {
    for (std::size_t i : RankIconImages(shapes, LayerTarget(source, size))) {
      if (decoded[i]) break;
      if (state[i] == Error::kOk) {
        if (shapes[i].Pixels() > budget) {
          state[i] = Error::kImageTooLarge;
        } else {
          auto im = DecodeSourceImage(images[i]);
          if (im && (im->rgba.width != shapes[i].width || im->rgba.height != shapes[i].height))
            im = Error::kBadImageSize;
          if (im) {
            budget -= shapes[i].Pixels();
            decoded[i] = std::move(*im);
            break;
          }
          state[i] = im.error();
        }
      }
      if (first == Error::kOk) first = state[i];
    }
  }
  for (auto& im : decoded)
    if (im) source.images.push_back(std::move(*im));
  if (source.images.empty()) return first == Error::kOk ? Error::kNoImages : first;
  return source;
}

Result<SlotSource> ReadIcoSlotSource(Bytes file, bool small) {
  auto directory = ReadIcoDirectory(file);
  if (!directory) return directory.error();
  std::vector<Bytes> images;
  images.reserve(directory->size());
  for (const IconImageRef& ref : *directory) images.push_back(ref.data);
  return DecodeSlotSource(images, small);
}

SlotSource PictureSlotSource(const Image& picture, std::span<const std::uint8_t> alpha, int bitsPerPixel) {
  assert((alpha.empty() || alpha.size() == picture.Pixels().size()) && "one alpha value per pixel");
  SourceImage im;
  im.bitsPerPixel = bitsPerPixel;
  im.rgba = RgbaImage(picture.Width(), picture.Height());
  std::size_t i = 0;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x, ++i) {
      const std::uint8_t a = alpha.empty() ? 255 : alpha[i];
      if (a == 0) continue;
      const Colour c = picture.GetPixel(x, y);
      im.rgba.Set(x, y, c, a);
    }
  SlotSource source;
  source.fillsLayer = true;
  if (!picture.Empty()) source.images.push_back(std::move(im));
  return source;
}

SlotSource PastedSlotSource(const ClipboardImage& picture) {
  return PictureSlotSource(picture.image, picture.alpha, picture.bitsPerPixel);
}

SlotSource IconSlotSource(const Icon& icon) {
  SlotSource source;
  if (icon.Width() == 0 || icon.Height() == 0) return source;
  source.small = icon.Width() <= kSmallSize && icon.Height() <= kSmallSize;
  source.images.push_back({24, FromIcon(icon)});
  return source;
}

}  // namespace pg
