#include <gtest/gtest.h>

#include "imaging/resample.h"

namespace pg {
namespace {

Image Numbered(int w, int h) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      img.SetPixel(x, y, Rgb(static_cast<std::uint8_t>(x * 20), static_cast<std::uint8_t>(y * 30), 7));
  return img;
}

TEST(Resize, WholeNumberEnlargementsReplicatePixelsExactly) {
  const Image src = Numbered(3, 2);
  for (auto [w, h] : {std::pair{9, 4}, std::pair{3, 6}, std::pair{6, 2}, std::pair{3, 2}}) {
    const Image out = Resize(src, w, h);
    ASSERT_EQ(out.Width(), w);
    ASSERT_EQ(out.Height(), h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        EXPECT_EQ(out.GetPixel(x, y), src.GetPixel(x / (w / 3), y / (h / 2))) << w << "x" << h;
  }
  // An icon keeps its inverting pixels (white mask, coloured) when replicated.
  Icon icon{Numbered(16, 16), Image(16, 16, kWhite)};
  icon.mask.SetPixel(3, 4, kBlack);
  const Icon big = ResizeIcon(icon, 32);
  EXPECT_EQ(big, (Icon{Enlarge(icon.colour, 2), Enlarge(icon.mask, 2)}));
}

TEST(Resize, ShrinkingAveragesAreasAndFractionalGrowthInterpolates) {
  Image two(2, 1);
  two.SetPixel(1, 0, Rgb(200, 100, 50));
  EXPECT_EQ(Resize(two, 1, 1).GetPixel(0, 0), Rgb(100, 50, 25));
  Image bw(2, 1);
  bw.SetPixel(1, 0, kWhite);
  const Image three = Resize(bw, 3, 1);
  EXPECT_EQ(three.GetPixel(0, 0), kBlack);
  EXPECT_EQ(three.GetPixel(1, 0), Rgb(128, 128, 128));
  EXPECT_EQ(three.GetPixel(2, 0), kWhite);
  // A uniform image stays uniform at any size.
  const Image flat(48, 48, kKeyColour);
  EXPECT_EQ(Resize(flat, 32, 20), Image(32, 20, kKeyColour));
}

TEST(ResizeIcon, UsesTheMaskAsCoverageAndIsOpaqueFromHalfCoverage) {
  const Colour red = Rgb(255, 0, 0);
  struct Case {
    const char* what;
    int opaque;          // of the four pixels of a 2x2 block, how many are opaque red
    Colour transparent;  // colour under the white mask pixels
    Colour wantColour;
    Colour wantMask;
  };
  const Case cases[] = {
      {"half covered stays opaque, not darkened by the black", 2, kBlack, red, kBlack},
      {"inverting pixels lend no colour", 2, kWhite, red, kBlack},
      {"three quarters", 3, kBlack, red, kBlack},
      {"a quarter becomes transparent and black", 1, kWhite, kBlack, kWhite},
      {"nothing covered", 0, kWhite, kBlack, kWhite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Icon icon{Image(2, 2, c.transparent), Image(2, 2, kWhite)};
    for (int i = 0; i < c.opaque; ++i) {
      icon.mask.SetPixel(i % 2, i / 2, kBlack);
      icon.colour.SetPixel(i % 2, i / 2, red);
    }
    const Icon out = ResizeIcon(icon, 1);
    EXPECT_EQ(out.colour.GetPixel(0, 0), c.wantColour);
    EXPECT_EQ(out.mask.GetPixel(0, 0), c.wantMask);
  }
  // 48 -> 32 (a factor of 1.5): an opaque left half stays an opaque left half.
  Icon half{Image(48, 48, kBlack), Image(48, 48, kWhite)};
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 24; ++x) {
      half.mask.SetPixel(x, y, kBlack);
      half.colour.SetPixel(x, y, kKeyColour);
    }
  const Icon small = ResizeIcon(half, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      EXPECT_EQ(small.mask.GetPixel(x, y), x < 16 ? kBlack : kWhite) << x;
      EXPECT_EQ(small.colour.GetPixel(x, y), x < 16 ? kKeyColour : kBlack) << x;
    }
}

}  // namespace
}  // namespace pg
