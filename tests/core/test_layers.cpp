#include <gtest/gtest.h>

#include <cstdint>

#include "imaging/layers.h"

namespace pg {
namespace {

// An icon of `size` whose every pixel has the given mask and colour.
Icon Uniform(int size, Colour mask, Colour colour) {
  return Icon{Image(size, size, colour), Image(size, size, mask)};
}

// The composite pixel (x, y) the per-pixel rule gives for one layer over the
// key colour, written out independently of the block operations.
Colour OneLayerRule(const Icon& icon, Offset o, int x, int y) {
  Colour p = kKeyColour;
  const long long lu = static_cast<long long>(x) - o.x, lv = static_cast<long long>(y) - o.y;
  if (lu < 0 || lv < 0 || lu > 31 || lv > 31) return p;
  const int u = static_cast<int>(lu), v = static_cast<int>(lv);
  const Colour m = icon.mask.GetPixel(u, v);
  p &= (m == kWhite || m == kClrInvalid) ? kWhite : kBlack;
  if (icon.colour.Contains(u, v)) p ^= icon.colour.GetPixel(u, v);
  return p;
}

TEST(ComposeLayers, FollowsThePerPixelRuleForEveryMaskColourAndOffset) {
  struct Case {
    const char* what;
    Icon icon;
    Offset offset;
  };
  // A 32x32 icon with a recognisable pattern of all four pixel kinds.
  Icon mixed = Uniform(32, kWhite, kBlack);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      switch ((x + 3 * y) % 4) {
        case 0: mixed.mask.SetPixel(x, y, kBlack); mixed.colour.SetPixel(x, y, Rgb(200, 10, uint8_t(x))); break;
        case 1: mixed.mask.SetPixel(x, y, kBlack); mixed.colour.SetPixel(x, y, kBlack); break;
        case 2: mixed.colour.SetPixel(x, y, kWhite); break;  // inverts
        default: break;                                      // transparent
      }
    }
  Icon small = mixed;
  small.colour = Image(16, 16);
  small.mask = Image(16, 16);
  BitBlt(small.colour, 0, 0, 16, 16, mixed.colour, 0, 0, Rop::kCopy);
  BitBlt(small.mask, 0, 0, 16, 16, mixed.mask, 0, 0, Rop::kCopy);

  const Case cases[] = {
      {"at origin", mixed, {0, 0}},
      {"cut left and bottom", mixed, {-5, 3}},
      {"x offset 31 keeps one column", mixed, {31, 0}},
      {"x offset 32 leaves nothing", mixed, {32, 0}},
      {"y offset -32 leaves nothing", mixed, {0, -32}},
      {"far away", mixed, {-100000, 70000}},
      {"x offset -31, y offset 31 keep one pixel", mixed, {-31, 31}},
      {"the ends of the offset range", mixed, {INT32_MIN, INT32_MAX}},
      {"16x16 icon at origin", small, {0, 0}},
      {"16x16 icon moved", small, {20, -4}},
      {"empty slot", Icon{}, {0, 0}},
  };
  // Each case also in a model without the zoom view that held another icon
  // before (its buffers reused).
  for (const Case& c : cases) {
    for (const ZoomView zoom : {ZoomView::kKept, ZoomView::kNone}) {
      LayerModel model(zoom);
      if (zoom == ZoomView::kNone) {
        model.SetIcon(Slot::kLower, Uniform(32, kBlack, Rgb(200, 1, 2)));
        model.Rebuild();
      }
      model.SetIcon(Slot::kLower, c.icon);
      model.SetOffset(Slot::kLower, c.offset);
      model.Rebuild();
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
          ASSERT_EQ(model.Composite().GetPixel(x, y), OneLayerRule(c.icon, c.offset, x, y))
              << c.what << " at " << x << "," << y << (zoom == ZoomView::kNone ? " without zoom view" : "");
      EXPECT_EQ(model.Zoomed().Empty(), zoom == ZoomView::kNone);
    }
  }
}

TEST(ComposeLayers, SinglePixelOutcomes) {
  struct Case {
    const char* what;
    Colour mask, colour, expected;
  };
  const Case cases[] = {
      {"opaque black stays black", kBlack, kBlack, kBlack},
      {"opaque colour replaces the key", kBlack, Rgb(1, 2, 3), Rgb(1, 2, 3)},
      {"transparent shows the key", kWhite, kBlack, kKeyColour},
      {"white over key inverts it", kWhite, kWhite, Rgb(191, 159, 127)},
      {"opaque key colour is indistinguishable", kBlack, kKeyColour, kKeyColour},
  };
  for (const Case& c : cases) {
    LayerModel model;
    model.SetIcon(Slot::kUpper, Uniform(32, c.mask, c.colour));
    model.Rebuild();
    EXPECT_EQ(model.Composite().GetPixel(7, 9), c.expected) << c.what;
  }
}

TEST(ComposeLayers, UpperOpaquePixelWinsAndTransparentShowsLower) {
  Icon upper = Uniform(32, kWhite, kBlack);
  upper.mask.SetPixel(0, 0, kBlack);
  upper.colour.SetPixel(0, 0, Rgb(255, 0, 0));
  LayerModel model;
  model.SetIcon(Slot::kUpper, upper);
  model.SetIcon(Slot::kLower, Uniform(32, kBlack, Rgb(0, 0, 255)));
  model.Rebuild();
  EXPECT_EQ(model.Composite().GetPixel(0, 0), Rgb(255, 0, 0));
  EXPECT_EQ(model.Composite().GetPixel(1, 0), Rgb(0, 0, 255));
}

TEST(ComposeLayers, DrawsGivenOffsetsWithoutTouchingStoredOnesAndRebuildIsRepeatable) {
  LayerModel model;
  model.SetIcon(Slot::kUpper, Uniform(32, kBlack, Rgb(9, 9, 9)));
  model.Rebuild();
  const Image first = model.Composite();
  model.ComposeLayers({10, 10}, {0, 0});
  EXPECT_EQ(model.Composite().GetPixel(5, 5), kKeyColour);
  EXPECT_EQ(model.OffsetOf(Slot::kUpper), (Offset{0, 0}));
  model.Rebuild();
  model.Rebuild();
  EXPECT_EQ(model.Composite(), first);
}

TEST(ComposeLayers, ZoomViewIsTheCompositeEnlargedFourTimes) {
  Icon icon = Uniform(32, kBlack, kBlack);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) icon.colour.SetPixel(x, y, Rgb(uint8_t(x * 8), uint8_t(y * 8), 7));
  LayerModel model;
  model.SetIcon(Slot::kLower, icon);
  model.SetOffset(Slot::kLower, {3, -2});
  model.Rebuild();
  ASSERT_EQ(model.Zoomed().Width(), 128);
  ASSERT_EQ(model.Zoomed().Height(), 128);
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x)
      ASSERT_EQ(model.Zoomed().GetPixel(x, y), model.Composite().GetPixel(x / 4, y / 4));
}

TEST(CleanMask, BlackWhereverTheMaskIsNotWhiteAndWhiteOutsideIt) {
  Image mask(16, 16, kWhite);
  mask.SetPixel(1, 1, kBlack);
  mask.SetPixel(2, 1, Rgb(128, 128, 128));  // any non-white counts as opaque
  const Image clean = CleanMask(mask);
  ASSERT_EQ(clean.Width(), 32);
  EXPECT_EQ(clean.GetPixel(1, 1), kBlack);
  EXPECT_EQ(clean.GetPixel(2, 1), kBlack);
  EXPECT_EQ(clean.GetPixel(0, 0), kWhite);
  EXPECT_EQ(clean.GetPixel(20, 20), kWhite);
}

TEST(RoundQuarter, RoundsToNearestWithTiesToEven) {
  const std::pair<int, int> cases[] = {
      {0, 0},  {1, 0},  {2, 0},   {3, 1},   {5, 1},   {6, 2},    {10, 2},  {11, 3},
      {14, 4}, {-1, 0}, {-2, 0},  {-3, -1}, {-5, -1}, {-6, -2},  {-10, -2}, {-14, -4},
      {126, 32}, {123, 31}, {125, 31}};
  for (auto [v, want] : cases) EXPECT_EQ(RoundQuarter(v), want) << "v=" << v;
}

TEST(PickLayer, UpperOnlyWhereItsMaskIsBlackAtTheRoundedPoint) {
  Image mask(32, 32, kBlack);
  mask.SetPixel(2, 0, kWhite);
  struct Case { Offset upper; int x, y; Slot want; };
  const Case cases[] = {
      {{0, 0}, 0, 0, Slot::kUpper},
      {{0, 0}, 6, 0, Slot::kLower},     // Round(1.5) = 2: the white pixel
      {{0, 0}, 5, 0, Slot::kUpper},     // Round(1.25) = 1
      {{0, 0}, 126, 0, Slot::kLower},   // column 32 lies outside the mask
      {{0, 0}, 0, 127, Slot::kLower},
      {{32, 32}, 0, 0, Slot::kLower},   // wholly moved out
      {{32, 0}, 126, 0, Slot::kUpper},  // its first column under the last zoom columns
      {{-3, 0}, 0, 0, Slot::kUpper},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PickLayer(mask, c.upper, c.x, c.y), c.want) << c.x << "," << c.y;
  EXPECT_EQ(PickLayer(Image(), {0, 0}, 0, 0), Slot::kLower);
}

TEST(DragOffset, DisplacementFromThePressPointIsAddedToTheStoredOffset) {
  EXPECT_EQ(DragOffset({0, 0}, 50, 50, 60, 50), (Offset{2, 0}));
  EXPECT_EQ(DragOffset({0, 0}, 50, 50, 64, 36), (Offset{4, -4}));
  EXPECT_EQ(DragOffset({0, 0}, 50, 50, 48, 50), (Offset{0, 0}));
  EXPECT_EQ(DragOffset({0, 0}, 50, 50, 44, 50), (Offset{-2, 0}));
  EXPECT_EQ(DragOffset({5, -7}, 10, 10, 10 - 200, 10 + 400), (Offset{-45, 93}));
}

}  // namespace
}  // namespace pg
