// The composition at every size Windows draws icons at, with real alpha.
//
// A slot keeps the images of what it was loaded from (SlotSource) beside the
// 32x32 icon the cell shows. At size S each layer is drawn from the image
// that serves S best, at round(offset * S / 32), and the two layers combine
// by "over" on a transparent background. The 32x32 cell composition
// (layers.h) is untouched by any of this.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/layers.h"
#include "imaging/slot_source.h"

namespace pg {

// --- Composing ------------------------------------------------------------

// round(v * size / 32), halves to the even neighbour: where an offset given
// in the 32x32 cell lies at `size`.
std::int32_t ScaleOffset(std::int32_t v, int size) noexcept;

// The index into source.images of the image that serves a target of
// `target` pixels: an image of exactly target x target, the most bits per
// pixel first; else the smallest one that covers the target; else the
// largest one. -1 for an empty source.
int ChooseSourceImage(const SlotSource& source, int target) noexcept;

// The layer a source gives at `size` (the small icon at half of it), at the
// layer's top-left: the chosen image as it is, scaled down to the target
// (area filter on premultiplied alpha), or enlarged by the largest whole
// number that fits, by pixel replication. A picture that fills the layer is
// stretched to target x target. Empty for an empty source.
RgbaImage SourceLayer(const SlotSource& source, int size);

// One pixel "over" another, straight alpha, exactly rounded.
void Over(std::uint8_t* dst, const std::uint8_t* src) noexcept;

// The composite at size x size: a transparent background, the lower layer,
// then the upper one, each at its scaled offset.
RgbaImage ComposeAtSize(const SlotSource& upper, Offset upperOffset, const SlotSource& lower,
                        Offset lowerOffset, int size);

// The model's composite at `size` from its slots' sources and stored offsets.
RgbaImage ComposeModelAtSize(const LayerModel& model, int size);

// The flattened picture at every size of kIconSizes: what the lower slot
// holds after a merge.
SlotSource FlattenSources(const LayerModel& model);

// ComposeModelAtSize at each of `sizes` (values of 1..256), then
// WriteMultiSizeIcon (icon_writer.h).
std::vector<std::uint8_t> WriteModelMultiSizeIcon(const LayerModel& model,
                                                  std::span<const int> sizes = kIconSizes);

}  // namespace pg
