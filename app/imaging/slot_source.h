// What a slot keeps beside the 32x32 icon its cell shows: the images of what
// it was loaded from, which every other size is composed from (multi_size.h).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/byte_reader.h"
#include "imaging/icon.h"
#include "imaging/result.h"
#include "imaging/rgba_image.h"

namespace pg {

struct ClipboardImage;

// The sizes the system draws icons at, from the small icon at 100 % to the
// large thumbnails.
inline constexpr std::array<int, 8> kIconSizes{16, 20, 24, 32, 40, 48, 64, 256};
inline constexpr int kMaxIconSize = 256;

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

// The side of the layer a source gives at `size`: half of it for the small
// icon, which takes the top-left quarter of the cell.
int LayerTarget(const SlotSource& source, int size) noexcept;

}  // namespace pg
