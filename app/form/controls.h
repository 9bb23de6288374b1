// The windowless controls the main window is made of.
#pragma once

#include <string>

#include "form/control.h"
#include "imaging/icon.h"
#include "imaging/image.h"
#include "win/dib.h"

namespace pgf {

// Shows a bitmap at 1:1, or an icon (mask ANDed, then colour XORed, so its
// transparent pixels show what lies beneath). An empty picture paints
// nothing.
class ImageControl : public Control {
 public:
  using Control::Control;

  void SetBitmap(const pg::Image& image);
  void SetIcon(const pg::Icon& icon);
  void Clear();

  void Paint(HDC dc) override;

 private:
  enum class Kind { kNone, kBitmap, kIcon } kind_ = Kind::kNone;
  pgw::Dib colour_;
  pgw::Dib mask_;
};

// A flat speed button: no face while idle, a thin raised edge under the
// pointer, a sunken edge while pressed with the glyph (or caption) shifted
// by one pixel. The glyph's bottom-left pixel colour is transparent. Click
// runs on the release of the left button over the button.
class SpeedButton : public Control {
 public:
  using Control::Control;

  void SetGlyph(const pg::Image& glyph);
  // A caption, centred, for a button without a glyph.
  void SetCaption(std::wstring caption);
  const std::wstring& Caption() const noexcept { return caption_; }
  void SetFont(HFONT font);  // not owned
  void Paint(HDC dc) override;

  void MouseDown(MouseButton button, ShiftState shift, int x, int y) override;
  void MouseMove(ShiftState shift, int x, int y) override;
  void MouseUp(MouseButton button, ShiftState shift, int x, int y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void CaptureLost() override;

 private:
  pgw::Dib glyph_;
  pg::Colour glyphKey_ = 0;
  std::wstring caption_;
  HFONT font_ = nullptr;
  bool hover_ = false;
  bool dragging_ = false;  // the left button went down on the button
  bool down_ = false;      // drawn pressed
};

// Text without a background (an empty caption paints nothing: a strip that
// only takes the mouse). It grows wider than its designed width when its
// text needs more room in the font the system gives (a substitute for a
// missing face can be wider), so no caption is ever cut off.
class Label : public Control {
 public:
  using Control::Control;
  void SetCaption(std::wstring caption);
  const std::wstring& Caption() const noexcept { return caption_; }
  void SetFont(HFONT font);  // not owned
  void SetTextColour(COLORREF c) noexcept { colour_ = c; }
  void Paint(HDC dc) override;
  // The designed width is the one at the new scale; the text may widen it.
  void SetScale(const pg::Scale& scale) override;

 private:
  void FitText();

  std::wstring caption_;
  int designedWidth_ = -1;
  HFONT font_ = nullptr;
  COLORREF colour_ = RGB(0, 0, 0);
};

// A rectangle with a one-pixel black outline (one layout pixel at the
// display scale) and a white fill.
class Shape : public Control {
 public:
  using Control::Control;
  void Paint(HDC dc) override;
};

// A horizontal progress bar: black border of one layout pixel, white
// ground, filled from the left in proportion to a value 0..100.
class Gauge : public Control {
 public:
  using Control::Control;
  int Progress() const noexcept { return progress_; }
  void SetProgress(int value);
  void Paint(HDC dc) override;

  static constexpr COLORREF kFillColour = RGB(255, 128, 0);

 private:
  int progress_ = 0;
};

}  // namespace pgf
