#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "exe_fixtures.h"
#include "imaging/icon_source.h"
#include "imaging/scale.h"

namespace pg {
namespace {

using pgtest::Buf;

Bytes View(const Buf& b) { return Bytes(b.data(), b.size()); }

// A picture whose every pixel has its own colour, so each output pixel
// tells which source pixel it came from.
Image Numbered(int w, int h) {
  Image im(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) im.SetPixel(x, y, static_cast<Colour>(y * 256 + x));
  return im;
}

std::vector<int> ColumnsTaken(const Image& out) {
  std::vector<int> cols;
  for (int x = 0; x < out.Width(); ++x) cols.push_back(static_cast<int>(out.GetPixel(x, 0) & 0xFF));
  return cols;
}

TEST(EnlargeNearest, EachPixelTakesTheSourcePixelUnderItsCentre) {
  struct Case {
    int from, to;
    std::vector<int> columns;
  };
  // A centre that falls on a boundary takes the right-hand pixel (4 -> 5:
  // pixel 2's centre is at 2.0 source pixels).
  const Case cases[] = {
      {4, 5, {0, 1, 2, 2, 3}},
      {2, 3, {0, 1, 1}},
      {4, 6, {0, 1, 1, 2, 3, 3}},
      {4, 7, {0, 0, 1, 2, 2, 3, 3}},
      {2, 4, {0, 0, 1, 1}},
      {3, 3, {0, 1, 2}},
  };
  for (const Case& c : cases) {
    const Image out = EnlargeNearest(Numbered(c.from, c.from), c.to);
    ASSERT_EQ(out.Width(), c.to);
    ASSERT_EQ(out.Height(), c.to);
    EXPECT_EQ(ColumnsTaken(out), c.columns) << c.from << " -> " << c.to;
    // Rows follow the same rule as columns.
    for (int y = 0; y < c.to; ++y)
      EXPECT_EQ(static_cast<int>(out.GetPixel(0, y) >> 8), c.columns[static_cast<std::size_t>(y)])
          << c.from << " -> " << c.to << " row " << y;
  }
}

TEST(EnlargeNearest, WholeFactorsAreUniformBlocksAndNoColourIsNew) {
  const Image src = Numbered(32, 32);
  for (int k : {1, 2, 3, 4}) EXPECT_EQ(EnlargeNearest(src, 32 * k), Enlarge(src, k)) << k;
  // Every display step from 125 to 300 %: only the picture's own colours,
  // and each of them shows (an enlargement drops no pixel).
  const std::set<Colour> own(src.Pixels().begin(), src.Pixels().end());
  for (int n = 40; n <= 96; n += 8) {
    const Image out = EnlargeNearest(src, n);
    const std::set<Colour> seen(out.Pixels().begin(), out.Pixels().end());
    EXPECT_EQ(seen, own) << n;
    Image into(n, n, kWhite);
    EnlargeNearestInto(src, into);
    EXPECT_EQ(into, out) << n;
  }
  EXPECT_TRUE(EnlargeNearest(Image(), 40).Empty());
  EXPECT_TRUE(EnlargeNearest(src, 0).Empty());
}

TEST(EnlargeNearest, IconKeepsItsMaskExact) {
  Icon icon = TransparentIcon();
  icon.mask.SetPixel(3, 5, kBlack);
  icon.colour.SetPixel(3, 5, 0x123456);
  const Icon big = EnlargeNearest(icon, 48, 48);
  ASSERT_EQ(big.Width(), 48);
  int opaque = 0;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 48; ++x) {
      const Colour m = big.mask.GetPixel(x, y);
      ASSERT_TRUE(m == kBlack || m == kWhite);
      if (m == kBlack) {
        ++opaque;
        EXPECT_EQ(big.colour.GetPixel(x, y), 0x123456u);
      }
    }
  // 1.5 x 1.5: the pixel becomes a 1 or 2 pixel block each way.
  EXPECT_GE(opaque, 1);
  EXPECT_LE(opaque, 4);
}

TEST(ScaledIconSize, HalvesRoundUp) {
  EXPECT_EQ(ScaledIconSize(32, 40), 40);
  EXPECT_EQ(ScaledIconSize(16, 40), 20);
  EXPECT_EQ(ScaledIconSize(16, 56), 28);
  EXPECT_EQ(ScaledIconSize(15, 48), 23);  // 22.5
  EXPECT_EQ(ScaledIconSize(24, 40), 30);
}

// Solid colours (0x00BBGGRR) that tell the images apart.
constexpr pgtest::Rgb kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kGrey = 0x808080;

Colour Centre(const Icon& icon) { return icon.colour.GetPixel(icon.Width() / 2, icon.Height() / 2); }

TEST(IconForScale, TakesTheIconsOwnImageOfTheScaledSizeElseEnlargesTheLargeIcon) {
  // A library whose first icon has 16, 32, 48 and 64 pixel images, and whose
  // second has 32 and 64 only.
  const std::vector<pgtest::GroupSpec> groups = {
      {1, u"", {{16, 16, 24, kGrey}, {32, 32, 24, kRed}, {48, 48, 24, kGreen}, {64, 64, 24, kBlue}}},
      {2, u"", {{32, 32, 24, kRed}, {64, 64, 24, kBlue}}},
  };
  const Buf lib = pgtest::BuildPe(pgtest::IconResources(groups), true).bytes;
  auto src = OpenIconSource(View(lib));
  ASSERT_TRUE(src.ok()) << ErrorText(src.error());
  const IconSource& source = **src;
  struct Case {
    int index, n;
    Colour centre;  // which image it came from
  };
  const Case cases[] = {
      {0, 32, kRed},    // the large icon itself
      {0, 48, kGreen},  // 150 %: its own 48x48
      {0, 64, kBlue},   // 200 %: its own 64x64
      {0, 40, kRed},    // 125 %: none of 40, the 32x32 enlarged
      {1, 48, kRed},    // no 48: the 32x32 enlarged, never the 64 reduced
      {1, 64, kBlue},
  };
  for (const Case& c : cases) {
    auto icon = IconForScale(source, c.index, c.n);
    ASSERT_TRUE(icon.ok()) << c.index << " at " << c.n;
    EXPECT_EQ(icon->Width(), c.n) << c.index << " at " << c.n;
    EXPECT_EQ(icon->Height(), c.n) << c.index << " at " << c.n;
    EXPECT_EQ(Centre(*icon), c.centre) << c.index << " at " << c.n;
  }
  // The enlargement is exactly the large icon's, mask included (both
  // groups' 32x32 images are the same picture).
  auto large = source.Extract(0, 32);
  ASSERT_TRUE(large.ok());
  auto icon = IconForScale(source, 1, 48);
  ASSERT_TRUE(icon.ok());
  EXPECT_EQ(*icon, EnlargeNearest(*large, 48, 48));
  EXPECT_EQ(IconForScale(source, 2, 48).error(), source.Extract(2, 32).error());
}

TEST(IconForScale, AnIconSmallerThanTheCellGrowsByTheScale) {
  auto src = OpenIconSource(View(pgtest::IcoFile({{16, 16, 24, kGreen}})));
  ASSERT_TRUE(src.ok());
  auto small = (*src)->Extract(0, 32);
  ASSERT_TRUE(small.ok());
  ASSERT_EQ(small->Width(), 16);
  auto icon = IconForScale(**src, 0, 64);
  ASSERT_TRUE(icon.ok());
  EXPECT_EQ(*icon, EnlargeNearest(*small, 32, 32));
}

}  // namespace
}  // namespace pg
