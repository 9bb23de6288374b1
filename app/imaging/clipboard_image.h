// Pictures as programs put them on the clipboard, and the composite as this
// program puts it there. Only bytes: opening the clipboard and taking its
// memory blocks is the front end's part.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/byte_reader.h"
#include "imaging/icon.h"
#include "imaging/result.h"

namespace pg {

// A decoded clipboard picture.
struct ClipboardImage {
  Image image;
  // Alpha per pixel, row-major, top row first. Empty when the picture is
  // opaque: it has no alpha channel, one that is 255 everywhere, or (a DIB
  // only) one that is zero everywhere, the fourth byte of a 32-bit CF_DIB
  // that was never meant as alpha.
  std::vector<std::uint8_t> alpha;
  int bitsPerPixel = 0;  // as stored: 1 .. 32; a PNG counts as 32
};

// CF_DIB and CF_DIBV5: a packed DIB (any header from BITMAPCOREHEADER to
// BITMAPV5HEADER, masks, colour table, pixel rows) in a memory block that
// may be larger than the DIB. Every depth and compression the bitmap file
// reader knows; 32-bit rows keep their alpha.
Result<ClipboardImage> ReadClipboardDib(Bytes dib);

// The registered format "PNG": a PNG stream (the memory block may be larger).
// Its alpha is kept, even where it is zero everywhere.
Result<ClipboardImage> ReadClipboardPng(Bytes png);

// The icon a pasted picture gives a slot: an opaque picture as a bitmap file
// becomes an icon (OpaqueBitmapIcon); a picture with alpha keeps its
// transparency by the rule of 32-bit icon images (ApplyAlpha) and is then
// resized as an icon image is. `picture.image` must not be empty.
Icon PastedIcon(const ClipboardImage& picture, int size = kCellSize);

// The composite as a CF_DIB block: BITMAPINFOHEADER, bottom-up rows of
// 24 bits, every pixel exactly as it is (the key colour included).
// `image` must not be empty.
std::vector<std::uint8_t> ClipboardDib(const Image& image);

}  // namespace pg
