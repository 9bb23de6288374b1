// The composition at every size and the multi-size icon file.
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
#include "imaging/multi_size.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <optional>

#include "imaging/byte_reader.h"
#include "imaging/clipboard_image.h"
#include "imaging/dib.h"
#include "imaging/ico_reader.h"
#include "imaging/layers.h"
#include "imaging/png.h"
#include "imaging/resample.h"
#include "imaging/rounding.h"

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

int LayerTarget(const SlotSource& source, int size) noexcept {
  return source.small ? std::max(1, size / 2) : size;
}

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

// --- Resizing on premultiplied alpha -------------------------------------

using Tap = ResampleTap;

// Separable resampling of premultiplied colour, so that transparent pixels
// lend their neighbours no colour.
RgbaImage Resample(const RgbaImage& src, int width, int height) {
  const auto across = ResampleWeights(src.width, width), down = ResampleWeights(src.height, height);
  const auto sw = static_cast<std::size_t>(src.width);
  const auto dw = static_cast<std::size_t>(width);
  std::vector<float> pre(src.pixels.size());
  for (std::size_t i = 0; i < src.pixels.size(); i += 4) {
    const float a = src.pixels[i + 3] / 255.0f;
    pre[i] = src.pixels[i] * a;
    pre[i + 1] = src.pixels[i + 1] * a;
    pre[i + 2] = src.pixels[i + 2] * a;
    pre[i + 3] = src.pixels[i + 3];
  }
  std::vector<float> mid(dw * static_cast<std::size_t>(src.height) * 4, 0.0f);
  for (int y = 0; y < src.height; ++y)
    for (std::size_t x = 0; x < dw; ++x) {
      float* m = &mid[(static_cast<std::size_t>(y) * dw + x) * 4];
      for (const Tap& t : across[x]) {
        const float* p = &pre[(static_cast<std::size_t>(y) * sw + static_cast<std::size_t>(t.index)) * 4];
        for (int k = 0; k < 4; ++k) m[k] += static_cast<float>(t.weight) * p[k];
      }
    }
  RgbaImage out(width, height);
  std::vector<float> row(dw * 4);
  for (int y = 0; y < height; ++y) {
    std::fill(row.begin(), row.end(), 0.0f);
    for (const Tap& t : down[static_cast<std::size_t>(y)]) {
      const float* m = &mid[static_cast<std::size_t>(t.index) * dw * 4];
      for (std::size_t i = 0; i < dw * 4; ++i) row[i] += static_cast<float>(t.weight) * m[i];
    }
    for (std::size_t x = 0; x < dw; ++x) {
      const float* r = &row[x * 4];
      const long a = std::clamp(std::lround(r[3]), 0L, 255L);
      if (a == 0) continue;
      std::uint8_t* o = out.At(static_cast<int>(x), y);
      const float unpremultiply = 255.0f / r[3];
      for (int k = 0; k < 3; ++k)
        o[k] = static_cast<std::uint8_t>(std::clamp(std::lround(r[k] * unpremultiply), 0L, 255L));
      o[3] = static_cast<std::uint8_t>(a);
    }
  }
  return out;
}

RgbaImage Replicate(const RgbaImage& src, int fx, int fy) {
  RgbaImage out(src.width * fx, src.height * fy);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) std::copy_n(src.At(x / fx, y / fy), 4, out.At(x, y));
  return out;
}

// Lays `layer` over `canvas` with its top-left at (ox, oy), clipped.
void Lay(RgbaImage& canvas, const RgbaImage& layer, std::int32_t ox, std::int32_t oy) {
  const std::int64_t x0 = std::max<std::int64_t>(0, ox), y0 = std::max<std::int64_t>(0, oy);
  const std::int64_t x1 = std::min<std::int64_t>(canvas.width, std::int64_t{ox} + layer.width);
  const std::int64_t y1 = std::min<std::int64_t>(canvas.height, std::int64_t{oy} + layer.height);
  for (std::int64_t y = y0; y < y1; ++y)
    for (std::int64_t x = x0; x < x1; ++x)
      Over(canvas.At(static_cast<int>(x), static_cast<int>(y)),
           layer.At(static_cast<int>(x - ox), static_cast<int>(y - oy)));
}

// --- Writing --------------------------------------------------------------

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

// --- Building -------------------------------------------------------------

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

// --- Composing ------------------------------------------------------------

std::int32_t ScaleOffset(std::int32_t v, int size) noexcept {
  const std::int64_t q = RoundHalfEven(std::int64_t{v} * size, kCellSize);
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(q, INT32_MIN, INT32_MAX));
}

int ChooseSourceImage(const SlotSource& source, int target) noexcept {
  if (source.images.empty()) return -1;
  std::vector<IconImageHeader> shapes;
  shapes.reserve(source.images.size());
  for (const SourceImage& im : source.images)
    shapes.push_back({im.rgba.width, im.rgba.height, im.bitsPerPixel, im.bitsPerPixel});
  return static_cast<int>(RankIconImages(shapes, target).front());
}

RgbaImage SourceLayer(const SlotSource& source, int size) {
  const int target = LayerTarget(source, size);
  const int chosen = ChooseSourceImage(source, target);
  if (chosen < 0) return {};
  const RgbaImage& im = source.images[static_cast<std::size_t>(chosen)].rgba;
  if (im.Empty()) return {};
  if (im.width == target && im.height == target) return im;
  if (source.fillsLayer) {
    if (target % im.width == 0 && target % im.height == 0)
      return Replicate(im, target / im.width, target / im.height);
    return Resample(im, target, target);
  }
  if (im.width >= target && im.height >= target) return Resample(im, target, target);
  const int factor = std::max(1, std::min(target / im.width, target / im.height));
  return factor == 1 ? im : Replicate(im, factor, factor);
}

void Over(std::uint8_t* dst, const std::uint8_t* src) noexcept {
  const std::uint32_t a = src[3], b = dst[3];
  if (a == 0) return;
  if (a == 255 || b == 0) {
    std::copy_n(src, 4, dst);
    return;
  }
  // Alpha and premultiplied colour scaled by 255 * 255, rounded once.
  const std::uint32_t lowerWeight = b * (255 - a);
  const std::uint32_t den = a * 255 + lowerWeight;
  for (int k = 0; k < 3; ++k) {
    const std::uint32_t num = src[k] * a * 255 + dst[k] * lowerWeight;
    dst[k] = static_cast<std::uint8_t>((2 * num + den) / (2 * den));
  }
  dst[3] = static_cast<std::uint8_t>((2 * den + 255) / 510);
}

RgbaImage ComposeAtSize(const SlotSource& upper, Offset upperOffset, const SlotSource& lower,
                        Offset lowerOffset, int size) {
  assert(size >= 1 && size <= kMaxIconSize && "icon sizes run from 1 to 256");
  RgbaImage canvas(size, size);
  Lay(canvas, SourceLayer(lower, size), ScaleOffset(lowerOffset.x, size), ScaleOffset(lowerOffset.y, size));
  Lay(canvas, SourceLayer(upper, size), ScaleOffset(upperOffset.x, size), ScaleOffset(upperOffset.y, size));
  return canvas;
}

RgbaImage ComposeModelAtSize(const LayerModel& model, int size) {
  return ComposeAtSize(model.SourceOf(Slot::kUpper), model.OffsetOf(Slot::kUpper),
                       model.SourceOf(Slot::kLower), model.OffsetOf(Slot::kLower), size);
}

SlotSource FlattenSources(const LayerModel& model) {
  SlotSource flat;
  for (int size : kIconSizes) flat.images.push_back({32, ComposeModelAtSize(model, size)});
  return flat;
}

// --- Writing --------------------------------------------------------------

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

std::vector<std::uint8_t> WriteModelMultiSizeIcon(const LayerModel& model, std::span<const int> sizes) {
  std::vector<RgbaImage> images;
  images.reserve(sizes.size());
  for (int size : sizes) images.push_back(ComposeModelAtSize(model, size));
  return WriteMultiSizeIcon(std::move(images));
}

}  // namespace pg
