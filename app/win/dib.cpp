#include "dib.h"

namespace pgw {

void Dib::Assign(const pg::Image& image) {
  width_ = image.Width();
  height_ = image.Height();
  const auto& px = image.Pixels();
  bits_.resize(px.size());
  for (std::size_t i = 0; i < px.size(); ++i) {
    const pg::Colour c = px[i];
    bits_[i] = (std::uint32_t{pg::RedOf(c)} << 16) | (std::uint32_t{pg::GreenOf(c)} << 8) |
               std::uint32_t{pg::BlueOf(c)};
  }
}

BITMAPINFO Dib::Info() const noexcept {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width_;
  bi.bmiHeader.biHeight = -height_;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

void Dib::Draw(HDC dc, int x, int y) const noexcept {
  if (Empty()) return;
  const BITMAPINFO bi = Info();
  SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(width_), static_cast<DWORD>(height_), 0, 0, 0,
                    static_cast<UINT>(height_), bits_.data(), &bi, DIB_RGB_COLORS);
}

void Dib::DrawRop(HDC dc, int x, int y, DWORD rop) const noexcept {
  if (Empty()) return;
  const BITMAPINFO bi = Info();
  const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, x, y, width_, height_, 0, 0, width_, height_, bits_.data(), &bi,
                DIB_RGB_COLORS, rop);
  SetStretchBltMode(dc, oldMode);
}

unique_hbitmap Dib::ToBitmap(HDC reference) const noexcept {
  if (Empty()) return {};
  const BITMAPINFO bi = Info();
  return unique_hbitmap(CreateDIBitmap(reference, &bi.bmiHeader, CBM_INIT, bits_.data(), &bi,
                                       DIB_RGB_COLORS));
}

unique_hbitmap MakeDibSection(int width, int height, std::uint32_t*& bits) noexcept {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* p = nullptr;
  unique_hbitmap bmp(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0));
  bits = static_cast<std::uint32_t*>(p);
  return bmp;
}

}  // namespace pgw
