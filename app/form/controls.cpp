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

namespace {

// A flat button's edge of `width` device pixels: the system's thin raised
// (or sunken) edge, drawn as the system draws it at one pixel and with the
// same two colours at a display scale.
void DrawButtonEdge(HDC dc, const RECT& r, bool sunken, int width) {
  if (width <= 1) {
    RECT e = r;
    DrawEdge(dc, &e, sunken ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    return;
  }
  HBRUSH light = GetSysColorBrush(COLOR_BTNHIGHLIGHT);
  HBRUSH dark = GetSysColorBrush(COLOR_BTNSHADOW);
  HBRUSH topLeft = sunken ? dark : light;
  HBRUSH bottomRight = sunken ? light : dark;
  const RECT right{r.right - width, r.top, r.right, r.bottom};
  const RECT bottom{r.left, r.bottom - width, r.right, r.bottom};
  const RECT top{r.left, r.top, r.right - width, r.top + width};
  const RECT left{r.left, r.top, r.left + width, r.bottom - width};
  FillRect(dc, &right, bottomRight);
  FillRect(dc, &bottom, bottomRight);
  FillRect(dc, &top, topLeft);
  FillRect(dc, &left, topLeft);
}

}  // namespace

void SpeedButton::Paint(HDC dc) {
  RECT r = Bounds();
  if (down_ || hover_) DrawButtonEdge(dc, r, down_, LineWidth());
  const int shift = down_ ? LineWidth() : 0;
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

void Label::SetScale(const pg::Scale& scale) {
  designedWidth_ = -1;
  Control::SetScale(scale);
  FitText();
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

namespace {

// Black outline of the given widths, `inside` filled within it.
void FillOutlined(HDC dc, const RECT& r, const RECT& widths, HBRUSH inside) {
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  const RECT in{r.left + widths.left, r.top + widths.top, r.right - widths.right,
                r.bottom - widths.bottom};
  if (in.right > in.left && in.bottom > in.top) FillRect(dc, &in, inside);
}

}  // namespace

void Shape::Paint(HDC dc) {
  FillOutlined(dc, Bounds(), OutlineWidths(), static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void Gauge::SetProgress(int value) {
  value = std::clamp(value, 0, 100);
  if (value == progress_) return;  // a fill of many icons sets most values often
  progress_ = value;
  Invalidate();
}

void Gauge::Paint(HDC dc) {
  const RECT widths = OutlineWidths();
  FillOutlined(dc, Bounds(), widths, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const RECT r{Left() + widths.left, Top() + widths.top, Left() + Width() - widths.right,
               Top() + Height() - widths.bottom};
  const int filled = (r.right - r.left) * progress_ / 100;
  if (filled <= 0) return;
  RECT bar{r.left, r.top, r.left + filled, r.bottom};
  pgw::unique_hbrush orange(CreateSolidBrush(kFillColour));
  FillRect(dc, &bar, orange.get());
}

}  // namespace pgf
