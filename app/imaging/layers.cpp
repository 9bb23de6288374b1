#include "imaging/layers.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "imaging/icon_source.h"
#include "imaging/rounding.h"

namespace pg {

Image CleanMask(const Image& mask) {
  Image clean(kCellSize, kCellSize, kWhite);
  for (int y = 0; y < kCellSize; ++y) {
    for (int x = 0; x < kCellSize; ++x) {
      const Colour m = mask.GetPixel(x, y);
      if (m != kWhite && m != kClrInvalid) clean.SetPixel(x, y, kBlack);
    }
  }
  return clean;
}

LayerModel::LayerModel(ZoomView zoom) : composite_(kCellSize, kCellSize, kKeyColour) {
  if (zoom == ZoomView::kKept) zoomed_ = Image(kZoomSize, kZoomSize, kKeyColour);
  Rebuild();
}

namespace {

constexpr int kPaddedWidth = 3 * kCellSize;

// A cell of `src` (its top-left part when it is larger, all of it when
// smaller) in the middle of rows of `identity`, kPaddedWidth wide. The
// rows' memory is reused from one icon to the next.
void FillPaddedRows(std::vector<Colour>& rows, const Image& src, Colour identity) {
  rows.assign(static_cast<std::size_t>(kPaddedWidth) * kCellSize, identity);
  const int w = std::min(kCellSize, src.Width()), h = std::min(kCellSize, src.Height());
  for (int y = 0; y < h; ++y)
    std::copy_n(src.Row(y), w, rows.data() + static_cast<std::size_t>(y) * kPaddedWidth + kCellSize);
}

}  // namespace

void LayerModel::Rebuild() {
  for (LayerState* layer : {&upper_, &lower_}) {
    layer->clean = CleanMask(layer->icon.mask);
    FillPaddedRows(layer->andRows, layer->clean, ~Colour{0});
    FillPaddedRows(layer->xorRows, layer->icon.colour, 0);
  }
  ComposeLayers(upper_.offset, lower_.offset);
}

void LayerModel::ComposeLayers(Offset upper, Offset lower) {
  // Row by row: the key colour, each layer drawn through its mask (AND) and
  // then its colour (XOR), lower layer first, and the finished row widened
  // into the zoom view at once. This runs on every pointer move of a drag:
  // the pixels are touched once, in runs of fixed length the compiler
  // vectorises.
  for (int y = 0; y < kCellSize; ++y) {
    Colour line[kCellSize];
    std::fill_n(line, kCellSize, kKeyColour);
    for (const auto& [layer, at] : {std::pair{&lower_, lower}, std::pair{&upper_, upper}}) {
      // A layer a whole cell away or more covers nothing (offsets are never
      // clamped: compare in 64 bits).
      const long long sy = static_cast<long long>(y) - at.y;
      if (sy < 0 || sy >= kCellSize || at.x <= -kCellSize || at.x >= kCellSize) continue;
      const std::size_t from = static_cast<std::size_t>(sy) * kPaddedWidth + static_cast<std::size_t>(kCellSize - at.x);
      const Colour* m = layer->andRows.data() + from;
      const Colour* c = layer->xorRows.data() + from;
      for (int x = 0; x < kCellSize; ++x) line[x] = (line[x] & m[x]) ^ c[x];
    }
    std::memcpy(composite_.Row(y), line, sizeof line);
    if (zoomed_.Empty()) continue;
    Colour* zoomed[kZoomFactor];
    for (int k = 0; k < kZoomFactor; ++k) zoomed[k] = zoomed_.Row(y * kZoomFactor + k);
    for (int x = 0; x < kCellSize; ++x) {
      // One store of kZoomFactor equal pixels in each of kZoomFactor rows.
      Colour block[kZoomFactor];
      std::fill_n(block, kZoomFactor, line[x]);
      for (Colour* z : zoomed) std::memcpy(z + static_cast<std::size_t>(x) * kZoomFactor, block, sizeof block);
    }
  }
}

Result<SlotContent> ExtractSlotContent(const IconSource& source, int index, bool small, SlotImages which) {
  auto icon = source.Extract(index, small ? kSmallSize : kCellSize);
  if (!icon) return icon.error();
  if (which == SlotImages::kCellOnly) return ContentOfIcon(std::move(*icon));
  auto images = source.ExtractSource(index, small);
  if (!images) return ContentOfIcon(std::move(*icon));
  return SlotContent{std::move(*icon), std::move(*images)};
}

int InvertingPixels(const Icon& icon) noexcept {
  int n = 0;
  for (int y = 0; y < icon.Height(); ++y)
    for (int x = 0; x < icon.Width(); ++x)
      n += icon.mask.GetPixel(x, y) == kWhite && icon.colour.GetPixel(x, y) != kBlack;
  return n;
}

Slot PickLayer(const Image& upperMask, Offset upper, int x, int y, int zoom) noexcept {
  const std::int64_t px = RoundHalfEven(x, zoom) - upper.x;
  const std::int64_t py = RoundHalfEven(y, zoom) - upper.y;
  const bool inside = px >= 0 && py >= 0 && px < upperMask.Width() && py < upperMask.Height();
  return inside && upperMask.GetPixel(static_cast<int>(px), static_cast<int>(py)) == kBlack
             ? Slot::kUpper
             : Slot::kLower;
}

Offset DragOffset(Offset stored, int startX, int startY, int x, int y, int zoom) noexcept {
  return Offset{
      static_cast<std::int32_t>(RoundHalfEven(std::int64_t{x} - startX, zoom) + stored.x),
      static_cast<std::int32_t>(RoundHalfEven(std::int64_t{y} - startY, zoom) + stored.y)};
}

}  // namespace pg
