// A 24-bit image with the pixel semantics of a GDI bitmap selected into a
// memory DC: GetPixel/SetPixel, BitBlt with SRCCOPY/SRCAND/SRCINVERT and
// clipping on both sides, and StretchBlt by whole-number pixel replication.
#pragma once

#include <cstddef>
#include <vector>

#include "imaging/colour.h"

namespace pg {

// The three raster operations the composition needs.
enum class Rop {
  kCopy,    // SRCCOPY:   D := S
  kAnd,     // SRCAND:    D := D AND S
  kInvert,  // SRCINVERT: D := D XOR S
};

class Image {
 public:
  Image() = default;
  // A width x height image filled with `fill`. Sizes must be >= 0.
  Image(int width, int height, Colour fill = kBlack);

  int Width() const noexcept { return width_; }
  int Height() const noexcept { return height_; }
  bool Empty() const noexcept { return width_ == 0 || height_ == 0; }
  bool Contains(int x, int y) const noexcept {
    return x >= 0 && y >= 0 && x < width_ && y < height_;
  }

  // kClrInvalid outside the image, like GetPixel.
  Colour GetPixel(int x, int y) const noexcept {
    return Contains(x, y) ? pixels_[Index(x, y)] : kClrInvalid;
  }
  // No effect outside the image, like SetPixel. Only the low 24 bits are kept.
  void SetPixel(int x, int y, Colour c) noexcept {
    if (Contains(x, y)) pixels_[Index(x, y)] = c & 0x00FFFFFFu;
  }
  void Fill(Colour c) noexcept;

  // Row-major pixels, top row first.
  const std::vector<Colour>& Pixels() const noexcept { return pixels_; }
  // Row y (0 <= y < Height()) for block work: the caller keeps x within
  // Width() and, writing, the colours within 24 bits.
  Colour* Row(int y) noexcept { return pixels_.data() + Index(0, y); }
  const Colour* Row(int y) const noexcept { return pixels_.data() + Index(0, y); }

  friend bool operator==(const Image&, const Image&) = default;

 private:
  std::size_t Index(int x, int y) const noexcept {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(x);
  }

  int width_ = 0;
  int height_ = 0;
  std::vector<Colour> pixels_;
};

// BitBlt(dst, dx, dy, w, h, src, sx, sy, rop): combines the w x h block of
// `src` at (sx, sy) into `dst` at (dx, dy). Destination pixels outside `dst`
// are not written; source positions outside `src` leave their destination
// pixels unchanged.
void BitBlt(Image& dst, int dx, int dy, int w, int h, const Image& src, int sx,
            int sy, Rop rop) noexcept;

// StretchBlt with COLORONCOLOR for a whole-number enlargement: every pixel of
// `src` becomes a factor x factor block. factor >= 1.
Image Enlarge(const Image& src, int factor);
// The same into an image that is already factor times the size of `src`,
// so a caller that enlarges on every pointer move allocates nothing.
void EnlargeInto(const Image& src, int factor, Image& dst) noexcept;

}  // namespace pg
