#include <gtest/gtest.h>

#include "imaging/ico_reader.h"
#include "imaging/icon_writer.h"
#include "imaging/keysplit.h"
#include "imaging/merge.h"

namespace pg {
namespace {

constexpr Colour kInvertedKey = Rgb(191, 159, 127);  // white XOR the key colour

// A lower icon with every kind of pixel, an upper one that overlaps it
// partly and reaches out of the cell, so the composite holds opaque,
// transparent, inverting and key-coloured pixels and both layers matter.
LayerModel MixedModel() {
  Icon lower = TransparentIcon();
  Icon upper = TransparentIcon();
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      switch ((x + 2 * y) % 5) {
        case 0: lower.mask.SetPixel(x, y, kBlack); lower.colour.SetPixel(x, y, Rgb(200, 30, std::uint8_t(8 * x))); break;
        case 1: lower.colour.SetPixel(x, y, kWhite); break;  // inverts the key colour
        case 2: lower.mask.SetPixel(x, y, kBlack); lower.colour.SetPixel(x, y, kKeyColour); break;
        case 3: lower.mask.SetPixel(x, y, kBlack); break;  // opaque black
        default: break;                                     // transparent
      }
      if ((x * y) % 3 == 0) {
        upper.mask.SetPixel(x, y, kBlack);
        upper.colour.SetPixel(x, y, Rgb(10, std::uint8_t(7 * y), 250));
      } else if (x % 4 == 0) {
        upper.colour.SetPixel(x, y, Rgb(0, 255, 0));  // inverts whatever lies beneath
      }
    }
  LayerModel model;
  model.SetIcon(Slot::kLower, lower);
  model.SetIcon(Slot::kUpper, upper);
  model.SetOffset(Slot::kLower, {-3, 2});
  model.SetOffset(Slot::kUpper, {9, -5});
  model.Rebuild();
  return model;
}

TEST(FlattenComposite, EqualsSavingAt24BitsAndReadingTheFileBack) {
  const LayerModel model = MixedModel();
  PaletteTable viaSave, viaMerge;
  const IconFileBytes file = WriteIconFile(SplitKeyColour(model.Composite()), 24, viaSave);
  auto saved = ReadIcoFile(file.bytes);
  ASSERT_TRUE(saved.ok());
  auto flat = FlattenComposite(model.Composite(), viaMerge);
  ASSERT_TRUE(flat.ok());
  EXPECT_EQ(*flat, *saved);
  // The writer's palette build ran as in a save.
  EXPECT_EQ(viaMerge.PaletteAsRgbQuads(), viaSave.PaletteAsRgbQuads());
}

TEST(MergeIcons, FlattensIntoTheLowerSlotAndLeavesThePictureAlone) {
  LayerModel model = MixedModel();
  const Image before = model.Composite();
  const Image zoomedBefore = model.Zoomed();
  PaletteTable table;
  std::vector<int> progress;
  ASSERT_EQ(MergeIcons(model, table, [&](int p) { progress.push_back(p); }), Error::kOk);

  EXPECT_EQ(model.Composite(), before);
  EXPECT_EQ(model.Zoomed(), zoomedBefore);
  EXPECT_EQ(progress, (std::vector<int>{0, 25, 50, 100}));  // a 24-bit save's steps
  EXPECT_EQ(model.IconOf(Slot::kUpper), TransparentIcon());
  EXPECT_EQ(model.OffsetOf(Slot::kUpper), (Offset{32, 32}));
  EXPECT_EQ(model.OffsetOf(Slot::kLower), (Offset{0, 0}));

  const Icon& merged = model.IconOf(Slot::kLower);
  ASSERT_EQ(merged.Width(), 32);
  int inverted = 0, keyed = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const Colour p = before.GetPixel(x, y);
      const bool transparent = merged.mask.GetPixel(x, y) == kWhite;
      // Key-coloured pixels, painted or background, become transparent;
      // everything else, inverted pixels included, is plainly opaque.
      EXPECT_EQ(transparent, p == kKeyColour) << x << "," << y;
      EXPECT_EQ(merged.colour.GetPixel(x, y), transparent ? kBlack : p) << x << "," << y;
      inverted += p == kInvertedKey;
      keyed += p == kKeyColour;
    }
  // The fixture really holds the pixels the rules are about.
  EXPECT_GT(inverted, 0);
  EXPECT_GT(keyed, 0);

  // Every press anywhere in the zoom view, and a little beyond, picks the
  // merged lower icon.
  for (int y = -8; y < kZoomSize + 8; ++y)
    for (int x = -8; x < kZoomSize + 8; ++x)
      ASSERT_EQ(PickLayer(model.IconOf(Slot::kUpper).mask, model.OffsetOf(Slot::kUpper), x, y),
                Slot::kLower)
          << x << "," << y;
}

TEST(MergeIcons, OpaqueKeyColourAndInvertedKeyPixels) {
  // One pixel of each over the plain background, in a model of its own, so
  // that nothing else decides the outcome.
  Icon lower = TransparentIcon();
  lower.mask.SetPixel(3, 4, kBlack);
  lower.colour.SetPixel(3, 4, kKeyColour);  // opaque, exactly the key colour
  lower.colour.SetPixel(10, 11, kWhite);    // transparent and white: inverts
  LayerModel model;
  model.SetIcon(Slot::kLower, lower);
  model.Rebuild();
  ASSERT_EQ(model.Composite().GetPixel(10, 11), kInvertedKey);
  PaletteTable table;
  ASSERT_EQ(MergeIcons(model, table), Error::kOk);
  const Icon& merged = model.IconOf(Slot::kLower);
  EXPECT_EQ(merged.mask.GetPixel(3, 4), kWhite);
  EXPECT_EQ(merged.colour.GetPixel(3, 4), kBlack);
  EXPECT_EQ(merged.mask.GetPixel(10, 11), kBlack);
  EXPECT_EQ(merged.colour.GetPixel(10, 11), kInvertedKey);
}

TEST(MergeIcons, TwiceChangesNothing) {
  LayerModel model = MixedModel();
  PaletteTable table;
  ASSERT_EQ(MergeIcons(model, table), Error::kOk);
  const Icon upper = model.IconOf(Slot::kUpper), lower = model.IconOf(Slot::kLower);
  const Image composite = model.Composite();
  ASSERT_EQ(MergeIcons(model, table), Error::kOk);
  EXPECT_EQ(model.IconOf(Slot::kUpper), upper);
  EXPECT_EQ(model.IconOf(Slot::kLower), lower);
  EXPECT_EQ(model.OffsetOf(Slot::kUpper), kMergedUpperOffset);
  EXPECT_EQ(model.OffsetOf(Slot::kLower), (Offset{0, 0}));
  EXPECT_EQ(model.Composite(), composite);
}

TEST(MergeIcons, ANewUpperIconGoesOverTheMergedPicture) {
  LayerModel model = MixedModel();
  PaletteTable table;
  ASSERT_EQ(MergeIcons(model, table), Error::kOk);
  const Image merged = model.Composite();
  Icon dot = TransparentIcon();
  dot.mask.SetPixel(0, 0, kBlack);
  dot.colour.SetPixel(0, 0, Rgb(1, 2, 3));
  model.SetIcon(Slot::kUpper, dot);
  model.SetOffset(Slot::kUpper, {5, 6});
  model.Rebuild();
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      ASSERT_EQ(model.Composite().GetPixel(x, y), (x == 5 && y == 6) ? Rgb(1, 2, 3) : merged.GetPixel(x, y));
}

}  // namespace
}  // namespace pg
