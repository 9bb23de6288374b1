// Icon files and icon images (the image of an .ico directory entry and the
// data of an RT_ICON resource are the same thing: a DIB of double height with
// its AND mask, or a PNG stream).
#pragma once

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

// Decodes one icon image. A 32-bit image with any non-zero alpha is opaque
// where alpha >= 128 and transparent (colour black) elsewhere; one whose
// alpha is zero everywhere uses its AND mask.
Result<IconImage> DecodeIconImage(Bytes data);

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
