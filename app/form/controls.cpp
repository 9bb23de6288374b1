#include "form/controls.h"

#include <algorithm>

#include "win/handles.h"

namespace pgf {

void ImageControl::SetBitmap(const pg::Image& image) {
  kind_ = Kind::kBitmap;
  colour_.Assign(image);
  mask_ = pgw::Dib();
  Invalidate();
}

void ImageControl::SetIcon(const pg::Icon& icon) {
  if (icon.Empty()) {
    Clear();
    return;
  }
  kind_ = Kind::kIcon;
  colour_.Assign(icon.colour);
  mask_.Assign(icon.mask);
  Invalidate();
}

void ImageControl::Clear() {
  kind_ = Kind::kNone;
  colour_ = pgw::Dib();
  mask_ = pgw::Dib();
  Invalidate();
}

void ImageControl::Paint(HDC dc) {
  switch (kind_) {
    case Kind::kNone:
      break;
    case Kind::kBitmap:
      colour_.Draw(dc, Left(), Top());
      break;
    case Kind::kIcon:
      mask_.DrawRop(dc, Left(), Top(), SRCAND);
      colour_.DrawRop(dc, Left(), Top(), SRCINVERT);
      break;
  }
}

void SpeedButton::SetGlyph(const pg::Image& glyph) {
  glyph_.Assign(glyph);
  glyphKey_ = glyph.GetPixel(0, glyph.Height() - 1);
  Invalidate();
}

void SpeedButton::SetCaption(std::wstring caption) {
  caption_ = std::move(caption);
  Invalidate();
}

void SpeedButton::SetFont(HFONT font) {
  font_ = font;
  Invalidate();
}

void SpeedButton::Paint(HDC dc) {
  RECT r = Bounds();
  if (down_)
    DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
  else if (hover_)
    DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
  const int shift = down_ ? 1 : 0;
  if (glyph_.Empty()) {
    if (caption_.empty()) return;
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    HGDIOBJ oldFont = font_ ? SelectObject(dc, font_) : nullptr;
    OffsetRect(&r, shift, shift);
    DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &r,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (oldFont) SelectObject(dc, oldFont);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    return;
  }
  const int gx = Left() + (Width() - glyph_.Width()) / 2 + shift;
  const int gy = Top() + (Height() - glyph_.Height()) / 2 + shift;
  pgw::unique_hdc mem(CreateCompatibleDC(dc));
  pgw::unique_hbitmap bmp = glyph_.ToBitmap(dc);
  if (!mem || !bmp) return;
  pgw::SelectGuard keep(mem.get(), bmp.get());
  TransparentBlt(dc, gx, gy, glyph_.Width(), glyph_.Height(), mem.get(), 0, 0, glyph_.Width(),
                 glyph_.Height(), glyphKey_);
}

void SpeedButton::MouseDown(MouseButton button, ShiftState shift, int x, int y) {
  Control::MouseDown(button, shift, x, y);
  if (button != MouseButton::kLeft) return;
  dragging_ = true;
  down_ = true;
  Invalidate();
}

void SpeedButton::MouseMove(ShiftState shift, int x, int y) {
  Control::MouseMove(shift, x, y);
  if (!dragging_) return;
  const bool inside = x >= 0 && y >= 0 && x < Width() && y < Height();
  if (inside != down_) {
    down_ = inside;
    Invalidate();
  }
}

void SpeedButton::MouseUp(MouseButton button, ShiftState shift, int x, int y) {
  const bool wasDragging = dragging_;
  const bool inside = x >= 0 && y >= 0 && x < Width() && y < Height();
  dragging_ = false;
  down_ = false;
  hover_ = inside;
  Invalidate();
  Control::MouseUp(button, shift, x, y);
  if (wasDragging && button == MouseButton::kLeft && inside) Click();
}

void SpeedButton::MouseEnter() {
  hover_ = true;
  if (dragging_) down_ = true;
  Invalidate();
}

void SpeedButton::MouseLeave() {
  hover_ = false;
  if (dragging_) down_ = false;
  Invalidate();
}

void SpeedButton::CaptureLost() {
  Control::CaptureLost();
  dragging_ = false;
  down_ = false;
  Invalidate();
}

void Label::SetCaption(std::wstring caption) {
  caption_ = std::move(caption);
  Invalidate();
  FitText();
}

void Label::SetFont(HFONT font) {
  font_ = font;
  Invalidate();
  FitText();
}

void Label::FitText() {
  if (designedWidth_ < 0) designedWidth_ = Width();
  int width = designedWidth_;
  if (!caption_.empty()) {
    pgw::WindowDc screen(nullptr);
    HGDIOBJ oldFont = font_ ? SelectObject(screen.get(), font_) : nullptr;
    SIZE extent{};
    if (GetTextExtentPoint32W(screen.get(), caption_.c_str(), static_cast<int>(caption_.size()),
                              &extent))
      width = std::max(width, static_cast<int>(extent.cx));
    if (oldFont) SelectObject(screen.get(), oldFont);
  }
  if (width != Width()) SetBounds(Left(), Top(), width, Height());
}

void Label::Paint(HDC dc) {
  if (caption_.empty()) return;
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColour = SetTextColor(dc, colour_);
  HGDIOBJ oldFont = font_ ? SelectObject(dc, font_) : nullptr;
  RECT r = Bounds();
  DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &r,
            DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
  if (oldFont) SelectObject(dc, oldFont);
  SetTextColor(dc, oldColour);
  SetBkMode(dc, oldMode);
}

void Shape::Paint(HDC dc) {
  pgw::SelectGuard pen(dc, GetStockObject(BLACK_PEN));
  pgw::SelectGuard brush(dc, GetStockObject(WHITE_BRUSH));
  Rectangle(dc, Left(), Top(), Left() + Width(), Top() + Height());
}

void Gauge::SetProgress(int value) {
  value = std::clamp(value, 0, 100);
  if (value == progress_) return;  // a fill of many icons sets most values often
  progress_ = value;
  Invalidate();
}

void Gauge::Paint(HDC dc) {
  RECT r = Bounds();
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  InflateRect(&r, -1, -1);
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const int filled = (r.right - r.left) * progress_ / 100;
  if (filled <= 0) return;
  RECT bar{r.left, r.top, r.left + filled, r.bottom};
  pgw::unique_hbrush orange(CreateSolidBrush(kFillColour));
  FillRect(dc, &bar, orange.get());
}

}  // namespace pgf
