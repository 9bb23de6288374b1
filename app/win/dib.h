// Turning core images into device-independent bitmaps for painting. The
// core keeps COLORREF pixels (0x00BBGGRR); a 32-bit DIB wants 0x00RRGGBB.
#pragma once

#include <cstdint>
#include <vector>

#include "handles.h"
#include "imaging/image.h"

namespace pgw {

// A top-down 32-bit copy of a core image, ready for SetDIBitsToDevice and
// StretchDIBits.
class Dib {
 public:
  Dib() = default;
  explicit Dib(const pg::Image& image) { Assign(image); }
  void Assign(const pg::Image& image);

  int Width() const noexcept { return width_; }
  int Height() const noexcept { return height_; }
  bool Empty() const noexcept { return width_ == 0 || height_ == 0; }

  // 1:1 at (x, y).
  void Draw(HDC dc, int x, int y) const noexcept;
  // 1:1 at (x, y) with a raster operation (SRCAND, SRCINVERT, ...).
  void DrawRop(HDC dc, int x, int y, DWORD rop) const noexcept;
  // A memory bitmap with the same pixels, for TransparentBlt and the like.
  unique_hbitmap ToBitmap(HDC reference) const noexcept;

 private:
  BITMAPINFO Info() const noexcept;
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> bits_;
};

// A top-down 32-bit DIB section of width x height whose pixels (0x00RRGGBB)
// the caller writes directly through `bits`.
unique_hbitmap MakeDibSection(int width, int height, std::uint32_t*& bits) noexcept;

}  // namespace pgw
