// The composition at every size Windows draws icons at, with real alpha.
//
// A slot keeps the images of what it was loaded from (SlotSource) beside the
// 32x32 icon the cell shows. At size S each layer is drawn from the image
// that serves S best, at round(offset * S / 32), and the two layers combine
// by "over" on a transparent background. The 32x32 cell composition
// (layers.h) is untouched by any of this.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/byte_reader.h"
#include "imaging/icon.h"
#include "imaging/result.h"

namespace pg {

struct ClipboardImage;
struct Offset;
class LayerModel;

// The sizes the system draws icons at, from the small icon at 100 % to the
// large thumbnails.
inline constexpr std::array<int, 8> kIconSizes{16, 20, 24, 32, 40, 48, 64, 256};
inline constexpr int kMaxIconSize = 256;

// A picture with straight (not premultiplied) alpha: R, G, B, A per pixel,
// top row first. A pixel with alpha 0 is stored as 0, 0, 0, 0.
struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;

  RgbaImage() = default;
  RgbaImage(int w, int h)
      : width(w), height(h),
        pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4, 0) {}
  bool Empty() const noexcept { return width == 0 || height == 0; }
  std::uint8_t* At(int x, int y) noexcept { return &pixels[Index(x, y)]; }
  const std::uint8_t* At(int x, int y) const noexcept { return &pixels[Index(x, y)]; }
  std::uint8_t AlphaAt(int x, int y) const noexcept { return pixels[Index(x, y) + 3]; }
  // A COLORREF with its alpha, straight (not premultiplied).
  void Set(int x, int y, Colour c, std::uint8_t alpha) noexcept {
    std::uint8_t* p = At(x, y);
    p[0] = RedOf(c);
    p[1] = GreenOf(c);
    p[2] = BlueOf(c);
    p[3] = alpha;
  }

  friend bool operator==(const RgbaImage&, const RgbaImage&) = default;

 private:
  std::size_t Index(int x, int y) const noexcept {
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
  }
};

// One image of a slot's source.
struct SourceImage {
  int bitsPerPixel = 32;  // from the image's own header; the "most colours" rule
  RgbaImage rgba;
  friend bool operator==(const SourceImage&, const SourceImage&) = default;
};

// The images a slot was loaded from. For an icon group these are the images
// any of kIconSizes can choose (the others could never be drawn); for a
// bitmap or a pasted picture the whole picture.
struct SlotSource {
  std::vector<SourceImage> images;  // none: an empty slot, wholly transparent
  // The small icon: laid at half size, as it takes the top-left 16x16 of the
  // 32x32 cell.
  bool small = false;
  // A picture rather than an icon group: it is stretched to fill the layer
  // at every size, as the shell fits a bitmap to the icon size.
  bool fillsLayer = false;

  bool Empty() const noexcept { return images.empty(); }
  friend bool operator==(const SlotSource&, const SlotSource&) = default;
};

// --- Building a slot's source --------------------------------------------

// Decodes one icon image (an .ico image or RT_ICON data: a DIB with its AND
// mask, or a PNG stream) keeping its alpha. A 32-bit image with any non-zero
// alpha takes its alpha as it is; any other takes 0 or 255 from its mask,
// and inverting pixels (mask transparent, colour not black) come out
// transparent, since alpha cannot hold them.
Result<SourceImage> DecodeSourceImage(Bytes data);

// The source of an icon group from its images' bytes: only the images some
// size of kIconSizes chooses (at half size for a small icon) are decoded,
// the choice being made from the images' headers. A damaged image is passed
// over for the next best; kNoImages when none is usable, or the first
// failure. Decoding stops at kMaxIconPixelsPerFile pixels.
Result<SlotSource> DecodeSlotSource(std::span<const Bytes> images, bool small);

// The same for every image of an .ico file.
Result<SlotSource> ReadIcoSlotSource(Bytes file, bool small);

// An opaque picture (a bitmap file), or one with `alpha` (one value per
// pixel, row-major; empty for opaque). Fills the layer at every size.
SlotSource PictureSlotSource(const Image& picture, std::span<const std::uint8_t> alpha = {},
                             int bitsPerPixel = 24);

// A pasted picture: its alpha, when it has any, is kept.
SlotSource PastedSlotSource(const ClipboardImage& picture);

// A source made of one icon as the cell holds it: alpha 0 where the mask is
// white (inverting pixels included), 255 elsewhere. An icon no larger than
// 16x16 counts as the small icon. What a slot gets when nothing better is
// known; an empty icon gives an empty source.
SlotSource IconSlotSource(const Icon& icon);

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

// --- Writing --------------------------------------------------------------

// The multi-size icon file of square images with sizes from 1 to 256, each
// size once: images ordered from the largest down, each below 256 as a
// 32-bit BGRA DIB with an AND mask that is transparent where alpha is 0, a
// 256x256 image as a PNG stream. Directory entries give each image's true
// size (256 as 0), 1 plane, 32 bits.
std::vector<std::uint8_t> WriteMultiSizeIcon(std::vector<RgbaImage> images);

// ComposeModelAtSize at each of `sizes` (values of 1..256), then
// WriteMultiSizeIcon.
std::vector<std::uint8_t> WriteModelMultiSizeIcon(const LayerModel& model,
                                                  std::span<const int> sizes = kIconSizes);

}  // namespace pg
