// Icon files and icon images (the image of an .ico directory entry and the
// data of an RT_ICON resource are the same thing: a DIB of double height with
// its AND mask, or a PNG stream).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/byte_reader.h"
#include "imaging/icon.h"
#include "imaging/result.h"

namespace pg {

// One decoded image of an icon.
struct IconImage {
  int bitsPerPixel = 0;  // from the image's own header (PNG: 32)
  Icon icon;             // colour and mask at the image's own size
  int Width() const noexcept { return icon.Width(); }
  int Height() const noexcept { return icon.Height(); }
};

// Limits of the icon readers. No real icon file comes near them; they bound
// what a damaged or hostile file can make a reader allocate and compute.
inline constexpr int kMaxIcoImages = 1024;          // directory entries per file
inline constexpr int kMaxIconDimension = 4096;      // width or height of one image
// Pixels of one image (each decoded pixel costs a colour and a mask pixel,
// 8 bytes, plus its raw data): 2048 x 2048, or a 4096 x 1024 strip.
inline constexpr std::uint64_t kMaxIconImagePixels = std::uint64_t{1} << 22;
// Pixels decoded from one file altogether, whatever the number of icons and
// extractions: the budget that keeps a file from costing more time than a
// few large pictures do (four decodes of 2048 x 2048, about a second; or
// the large and small icon of 128 groups that hold only 256 x 256 images). ReadIcoImages, which keeps every image, has the
// smaller budget of one image.
inline constexpr std::uint64_t kMaxIconPixelsPerFile = std::uint64_t{1} << 24;

// The transparency rule of 32-bit images with alpha: a pixel is opaque where
// its alpha is at least kOpaqueAlpha; elsewhere the mask is white and the
// colour black, so that it leaves what lies beneath unchanged. `alpha` holds
// one value per pixel, row-major, top row first.
inline constexpr std::uint8_t kOpaqueAlpha = 128;
void ApplyAlpha(Icon& icon, std::span<const std::uint8_t> alpha);

// An icon image's DIB decoded within the icon limits (at most `pixelBudget`
// pixels): its colour at its own size and an alpha per pixel, row-major, top
// row first: the image's alpha channel where it has one that is not all zero
// (`alphaChannel`), else 0 where the AND mask is set and 255 elsewhere.
struct DibIconPixels {
  int bitsPerPixel = 0;
  Image colour;
  std::vector<std::uint8_t> alpha;
  bool alphaChannel = false;
};
Result<DibIconPixels> DecodeDibIconPixels(Bytes data, std::uint64_t pixelBudget);

// What an icon image's own header says, read without decoding its pixels.
struct IconImageHeader {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;  // PNG: 32, as it decodes to full colour with alpha
  int storedBits = 0;    // what the image holds: a DIB's bit count; a PNG's depth times channels
  // The header vouches that the pixels decode: a DIB whose colour table
  // names every value a pixel can hold and whose AND mask is all there. A
  // PNG's stream, and a 32-bit DIB without a mask (whose alpha may or may
  // not stand in for it), show whether they decode only when decoded.
  bool decodes = false;
  std::uint64_t Pixels() const noexcept {
    return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  }
};

// Reads and checks an image's header (a DIB's header and colour table and
// that its rows are all there, or a PNG's IHDR) against the limits above.
// The image may still fail to decode: a pixel that names no colour, a
// damaged PNG stream.
Result<IconImageHeader> ReadIconImageHeader(Bytes data);

// Whether image `a` serves a target of `size` better than image `b`: the
// order of RankIconImages.
bool ServesBefore(const IconImageHeader& a, const IconImageHeader& b, int size) noexcept;

// The order in which images serve a target of `size` (see ChooseIconImage):
// the best first, ties in file order.
std::vector<std::size_t> RankIconImages(const std::vector<IconImageHeader>& headers, int size);

// Decodes one icon image (at most kMaxIconImagePixels). A 32-bit image with any non-zero alpha is opaque
// where alpha >= 128 and transparent (colour black) elsewhere; one whose
// alpha is zero everywhere uses its AND mask.
Result<IconImage> DecodeIconImage(Bytes data);

// One image of an icon directory (an .ico entry or an RT_GROUP_ICON entry):
// its checked header and its bytes.
struct IconImageRef {
  IconImageHeader header;
  Bytes data;
};

// Decodes the best image of `images` for `size` (see RankIconImages) and fits
// it (FitIconImage); when an image's pixels turn out damaged, the next best.
// Each decode is charged to `budget` (pixels); one that does not fit in what
// is left is refused with kTooMuchImageData. The first failure is returned
// when no image decodes.
Result<Icon> DecodeBestImage(const std::vector<IconImageRef>& images, int size, std::uint64_t& budget);

// The directory of an .ico file with every entry's image header read and
// checked; the entry's width and height are hints only, as the system and
// other readers treat them (the image's header gives its size). A cursor file
// (type 2, the same layout with the hot spot where an icon keeps planes and
// bits) is read only when `cursorsToo`: where an icon is expected, a
// cursor is refused.
Result<std::vector<IconImageRef>> ReadIcoDirectory(Bytes file, bool cursorsToo = false);

// Every image of an .ico file (type word 0 or 1), fully decoded: a damaged
// image refuses the whole file, and so do images whose pixels together pass
// kMaxIconImagePixels.
Result<std::vector<IconImage>> ReadIcoImages(Bytes file);

// The icon a slot gets from a set of images, for a target of `size` (32 for
// the large icon, 16 for the small one): the size x size image with the most
// colours; else the smallest larger image scaled down to size x size; else
// the largest smaller image at its own size. `images` must not be empty.
Icon ChooseIconImage(const std::vector<IconImage>& images, int size = kCellSize);

// The icon a chosen image gives for `size`: itself when it has that size or
// is smaller, else scaled down to size x size.
Icon FitIconImage(const IconImage& image, int size);

// The icon of an .ico file for `size`, as the icon sources give it: the
// directory and every image's header are checked, then only the image
// chosen from the headers is decoded (the next best one when its pixels
// are damaged).
Result<Icon> ReadIcoFile(Bytes file, int size = kCellSize);

}  // namespace pg
