#include "layers.h"

#include "icon_source.h"

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

LayerModel::LayerModel()
    : composite_(kCellSize, kCellSize, kKeyColour),
      zoomed_(kZoomSize, kZoomSize, kKeyColour) {
  Rebuild();
}

void LayerModel::Rebuild() {
  upper_.clean = CleanMask(upper_.icon.mask);
  lower_.clean = CleanMask(lower_.icon.mask);
  ComposeLayers(upper_.offset, lower_.offset);
}

void LayerModel::ComposeLayers(Offset upper, Offset lower) {
  composite_.Fill(kKeyColour);
  const auto lay = [this](const LayerState& layer, Offset at) {
    BitBlt(composite_, at.x, at.y, kCellSize, kCellSize, layer.clean, 0, 0, Rop::kAnd);
    BitBlt(composite_, at.x, at.y, kCellSize, kCellSize, layer.icon.colour, 0, 0,
           Rop::kInvert);
  };
  lay(lower_, lower);
  lay(upper_, upper);
  EnlargeInto(composite_, kZoomFactor, zoomed_);
}

Result<SlotContent> ExtractSlotContent(const IconSource& source, int index, bool small) {
  auto icon = source.Extract(index, small ? kSmallSize : kCellSize);
  if (!icon) return icon.error();
  auto images = source.ExtractSource(index, small);
  if (!images) return ContentOfIcon(std::move(*icon));
  return SlotContent{std::move(*icon), std::move(*images)};
}

std::int32_t RoundQuarter(std::int64_t v) noexcept {
  // v / 4 exactly is q + r/4 with 0 <= r < 4 (floor division).
  std::int64_t q = v >= 0 ? v / 4 : -((-v + 3) / 4);
  const std::int64_t r = v - q * 4;
  if (r == 3 || (r == 2 && (q & 1) != 0)) ++q;
  return static_cast<std::int32_t>(q);
}

Slot PickLayer(const Image& upperMask, Offset upper, int x, int y) noexcept {
  const std::int64_t px = std::int64_t{RoundQuarter(x)} - upper.x;
  const std::int64_t py = std::int64_t{RoundQuarter(y)} - upper.y;
  const bool inside = px >= 0 && py >= 0 && px < upperMask.Width() && py < upperMask.Height();
  return inside && upperMask.GetPixel(static_cast<int>(px), static_cast<int>(py)) == kBlack
             ? Slot::kUpper
             : Slot::kLower;
}

Offset DragOffset(Offset stored, int startX, int startY, int x, int y) noexcept {
  return Offset{
      static_cast<std::int32_t>(RoundQuarter(std::int64_t{x} - startX) + std::int64_t{stored.x}),
      static_cast<std::int32_t>(RoundQuarter(std::int64_t{y} - startY) + std::int64_t{stored.y})};
}

}  // namespace pg
