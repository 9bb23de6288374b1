// The layer model: two icons, each at its own offset in a 32x32 cell, laid
// lower first over the key colour. Rebuild() derives the clean masks (the
// per-pixel part, run when a slot icon changes); ComposeLayers() draws with
// block operations only, so a drag can call it on every pointer move.
#pragma once

#include <cstdint>

#include "imaging/icon.h"
#include "imaging/image.h"
#include "imaging/slot_source.h"
#include "imaging/result.h"
#include "imaging/rounding.h"

namespace pg {

enum class Slot { kUpper = 1, kLower = 2 };

// What one slot holds: its 32x32 icon and the images every other size is
// composed from.
struct SlotContent {
  Icon icon;
  SlotSource source;
  friend bool operator==(const SlotContent&, const SlotContent&) = default;
};

// A slot content of one icon alone: every other size is scaled from it.
inline SlotContent ContentOfIcon(Icon icon) {
  SlotSource source = IconSlotSource(icon);
  return SlotContent{std::move(icon), std::move(source)};
}

class IconSource;
// Which images a slot's content carries: those of the icon's whole group,
// for a multi-size save, or the 32x32 cell's icon alone (every other size
// then scaled from it), for a single-image save that needs no more.
enum class SlotImages { kWholeGroup, kCellOnly };

// Icon `index` of a source as a slot takes it: the large icon (or with
// `small` the small one) and the images of its group for the other sizes.
// A group whose other images cannot be read still gives its icon. The one
// way every slot is filled from a file: the window's picker, its start-up
// icon and the command line's compose.
Result<SlotContent> ExtractSlotContent(const IconSource& source, int index, bool small,
                                       SlotImages images = SlotImages::kWholeGroup);

// The pixels of an icon that the system draws inverting: transparent in the
// mask (white), yet not black in the colour. A composite saves them opaque.
int InvertingPixels(const Icon& icon) noexcept;

struct Offset {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const Offset&, const Offset&) = default;
};

inline constexpr int kZoomFactor = 4;
inline constexpr int kZoomSize = kCellSize * kZoomFactor;  // 128

// White where the icon leaves the picture beneath unchanged (mask white, or
// outside the mask image: a small icon is transparent beyond its own area),
// black wherever the mask is anything else. Always 32x32.
Image CleanMask(const Image& mask);

// Whether a LayerModel keeps the 4x zoom view beside the composite: the
// window shows it; the command line only saves, and a short run should not
// fill 64 KB it never reads.
enum class ZoomView { kKept, kNone };

class LayerModel {
 public:
  explicit LayerModel(ZoomView zoom = ZoomView::kKept);

  const Icon& IconOf(Slot s) const noexcept { return Layer(s).icon; }
  // Replaces the slot's icon. The clean masks follow at the next Rebuild().
  // The slot's source becomes the icon itself (IconSlotSource).
  void SetIcon(Slot s, Icon icon) {
    Layer(s).source = IconSlotSource(icon);
    Layer(s).icon = std::move(icon);
  }
  // Replaces the slot's icon together with the images it came from, which
  // every size but the cell's 32x32 is composed from.
  void SetIcon(Slot s, Icon icon, SlotSource source) {
    Layer(s).icon = std::move(icon);
    Layer(s).source = std::move(source);
  }
  const SlotSource& SourceOf(Slot s) const noexcept { return Layer(s).source; }
  void SetContent(Slot s, SlotContent c) {
    Layer(s).icon = std::move(c.icon);
    Layer(s).source = std::move(c.source);
  }

  Offset OffsetOf(Slot s) const noexcept { return Layer(s).offset; }
  void SetOffset(Slot s, Offset o) noexcept { Layer(s).offset = o; }

  // Re-derives both clean masks and composes with the stored offsets.
  void Rebuild();

  // Draws the composite with the given offsets (the stored ones are neither
  // read nor written) into Composite() and Zoomed().
  void ComposeLayers(Offset upper, Offset lower);

  const Image& Composite() const noexcept { return composite_; }  // 32x32
  const Image& Zoomed() const noexcept { return zoomed_; }        // 128x128 (empty with ZoomView::kNone)

 private:
  struct LayerState {
    Icon icon;
    Image clean;  // 32x32, derived by Rebuild()
    // The clean mask and the colour for drawing, derived by Rebuild(): each
    // row a cell wide with a cell of the raster operation's identity either
    // side (all ones for the mask's AND, zero for the colour's XOR), so that
    // the part of a row over the cell is one run of a cell's width whatever
    // the offset.
    std::vector<Colour> andRows, xorRows;
    Offset offset;
    SlotSource source;
  };
  LayerState& Layer(Slot s) noexcept { return s == Slot::kUpper ? upper_ : lower_; }
  const LayerState& Layer(Slot s) const noexcept {
    return s == Slot::kUpper ? upper_ : lower_;
  }

  LayerState upper_;
  LayerState lower_;
  Image composite_;
  Image zoomed_;
};

// Round(v * 0.25) to nearest, ties to even: the drag's pointer-to-cell rule
// in the 4x zoom view (RoundHalfEven with the zoom view's pixels per cell
// pixel at a display scale).
inline std::int32_t RoundQuarter(std::int64_t v) noexcept {
  return static_cast<std::int32_t>(RoundHalfEven(v, kZoomFactor));
}

// Which layer a press at zoom-view point (x, y) picks: the upper one exactly
// where its mask is black at the rounded point, the lower one elsewhere.
// `zoom` is the zoom view's pixels per cell pixel (4 at 100 %, 4 * s at a
// display scale s).
Slot PickLayer(const Image& upperMask, Offset upper, int x, int y,
               int zoom = kZoomFactor) noexcept;

// The dragged layer's offset for a pointer at (x, y) after a press at
// (startX, startY): the displacement is always taken from the press point,
// so rounding never accumulates over many moves.
Offset DragOffset(Offset stored, int startX, int startY, int x, int y,
                  int zoom = kZoomFactor) noexcept;

}  // namespace pg
