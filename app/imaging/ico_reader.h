// Icon files and icon images (the image of an .ico directory entry and the
// data of an RT_ICON resource are the same thing: a DIB of double height with
// its AND mask, or a PNG stream).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "byte_reader.h"
#include "icon.h"
#include "result.h"

namespace pg {

// One decoded image of an icon.
struct IconImage {
  int bitsPerPixel = 0;  // from the image's own header (PNG: 32)
  Icon icon;             // colour and mask at the image's own size
  int Width() const noexcept { return icon.Width(); }
  int Height() const noexcept { return icon.Height(); }
};

// Limits of the icon readers. No real icon file comes near them; they bound
// what a damaged or hostile file can make the reader allocate.
inline constexpr int kMaxIcoImages = 1024;          // directory entries per file
inline constexpr int kMaxIconDimension = 4096;      // width or height of one image
// Decoded pixels of all images of one file together (each pixel costs a
// colour and a mask pixel): one 4096 x 4096 image, or many ordinary ones.
inline constexpr std::uint64_t kMaxIconPixelsPerFile = std::uint64_t{1} << 24;

// The transparency rule of 32-bit images with alpha: a pixel is opaque where
// its alpha is at least kOpaqueAlpha; elsewhere the mask is white and the
// colour black, so that it leaves what lies beneath unchanged. `alpha` holds
// one value per pixel, row-major, top row first.
inline constexpr std::uint8_t kOpaqueAlpha = 128;
void ApplyAlpha(Icon& icon, std::span<const std::uint8_t> alpha);

// Decodes one icon image. A 32-bit image with any non-zero alpha is opaque
// where alpha >= 128 and transparent (colour black) elsewhere; one whose
// alpha is zero everywhere uses its AND mask.
Result<IconImage> DecodeIconImage(Bytes data);

// Whether an image agrees with the width and height bytes of the directory
// entry (an .ico entry or an RT_GROUP_ICON entry) that names it. A byte of 0
// stands for 256 or more, since larger images cannot be described.
bool MatchesEntrySize(const IconImage& image, int entryWidth, int entryHeight) noexcept;

// Every image of an .ico file (type word 0 or 1), fully decoded: a damaged
// image refuses the whole file.
Result<std::vector<IconImage>> ReadIcoImages(Bytes file);

// The icon a slot gets from a set of images, for a target of `size` (32 for
// the large icon, 16 for the small one): the size x size image with the most
// colours; else the smallest larger image scaled down to size x size; else
// the largest smaller image at its own size. `images` must not be empty.
Icon ChooseIconImage(const std::vector<IconImage>& images, int size = kCellSize);

// ReadIcoImages + ChooseIconImage.
Result<Icon> ReadIcoFile(Bytes file, int size = kCellSize);

}  // namespace pg
