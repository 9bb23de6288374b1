// The composition at every size.
#include "imaging/multi_size.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <optional>

#include "imaging/byte_reader.h"
#include "imaging/clipboard_image.h"
#include "imaging/dib.h"
#include "imaging/ico_reader.h"
#include "imaging/icon_writer.h"
#include "imaging/layers.h"
#include "imaging/png.h"
#include "imaging/resample.h"
#include "imaging/rounding.h"

namespace pg {
namespace {

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

}  // namespace

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
      return ReplicateRgba(im, target / im.width, target / im.height);
    return ResampleRgba(im, target, target);
  }
  if (im.width >= target && im.height >= target) return ResampleRgba(im, target, target);
  const int factor = std::max(1, std::min(target / im.width, target / im.height));
  return factor == 1 ? im : ReplicateRgba(im, factor, factor);
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

std::vector<std::uint8_t> WriteModelMultiSizeIcon(const LayerModel& model, std::span<const int> sizes) {
  std::vector<RgbaImage> images;
  images.reserve(sizes.size());
  for (int size : sizes) images.push_back(ComposeModelAtSize(model, size));
  return WriteMultiSizeIcon(std::move(images));
}

}  // namespace pg
