#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "imaging/ico_reader.h"
#include "image_fixtures.h"
#include "imaging/resample.h"

namespace pg {
namespace {

using namespace fixtures;

// 5 x 3: mask rows pad from 1 byte to 4, colour rows pad at every depth.
constexpr int kW = 5, kH = 3;

bool Holes(int x, int y) { return (x + y) % 3 == 0; }

Colour Pattern(int x, int y) {
  return Rgb(static_cast<std::uint8_t>(30 * x + 7), static_cast<std::uint8_t>(80 * y + 9),
             static_cast<std::uint8_t>(100 + x * y));
}
std::uint32_t Raw24(Colour c) {
  return (std::uint32_t{RedOf(c)} << 16) | (std::uint32_t{GreenOf(c)} << 8) | BlueOf(c);
}

struct DepthCase {
  int bpp;
  PixelFn raw;
  PixelFn colour;  // what the colour image must hold, also under white mask pixels
};

std::vector<DepthCase> DepthCases() {
  std::vector<DepthCase> cases;
  for (int bpp : {1, 4, 8}) {
    const auto pal = TestPalette(1 << bpp);
    const int n = 1 << bpp;
    cases.push_back({bpp, [n](int x, int y) { return std::uint32_t((x * 3 + y) % n); },
                     [pal, n](int x, int y) { return pal[static_cast<std::size_t>((x * 3 + y) % n)]; }});
  }
  cases.push_back({16, [](int x, int y) { return std::uint32_t(x << 10 | 31u << 5 | y); },
                   [](int x, int y) {
                     const auto w = [](int v) { return static_cast<std::uint8_t>((v * 255 + 15) / 31); };
                     return Rgb(w(x), 255, w(y));
                   }});
  cases.push_back({24, [](int x, int y) { return Raw24(Pattern(x, y)); }, Pattern});
  // Alpha zero everywhere: the AND mask decides.
  cases.push_back({32, [](int x, int y) { return Raw24(Pattern(x, y)); }, Pattern});
  return cases;
}

TEST(IconImage, DecodesEveryDepthWithItsAndMaskAndKeepsInvertingColours) {
  for (const DepthCase& c : DepthCases()) {
    SCOPED_TRACE("bits " + std::to_string(c.bpp));
    const ByteVec dib = MakeIconDib(kW, kH, c.bpp, c.raw, Holes);
    // The entry's bit count is deliberately wrong: the image's header decides.
    auto images = ReadIcoImages(MakeIcoFile({{dib, kW, kH, 4}}));
    ASSERT_TRUE(images.ok()) << ErrorText(images.error());
    ASSERT_EQ(images->size(), 1u);
    const IconImage& im = (*images)[0];
    EXPECT_EQ(im.bitsPerPixel, c.bpp);
    ASSERT_EQ(im.Width(), kW);
    ASSERT_EQ(im.Height(), kH);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        EXPECT_EQ(im.icon.mask.GetPixel(x, y), Holes(x, y) ? kWhite : kBlack) << x << "," << y;
        EXPECT_EQ(im.icon.colour.GetPixel(x, y), c.colour(x, y)) << x << "," << y;
      }
  }
}

TEST(IconImage, ThirtyTwoBitAlphaDecidesAndTheAndMaskIsIgnored) {
  // Alpha 0, 127, 128, 255 along x; the AND mask says the opposite of alpha.
  const std::uint8_t alphas[] = {0, 127, 128, 255};
  const auto raw = [&](int x, int y) { return std::uint32_t{alphas[x]} << 24 | Raw24(Pattern(x, y)); };
  const auto andBit = [&](int x, int) { return alphas[x] >= 128; };
  const ByteVec dib = MakeIconDib(4, 2, 32, raw, andBit);
  // Without its AND mask the image is still whole: alpha carries it.
  const ByteVec noMask(dib.begin(), dib.end() - 2 * 4);
  for (const ByteVec* bytes : {&dib, &noMask}) {
    auto im = DecodeIconImage(*bytes);
    ASSERT_TRUE(im.ok()) << ErrorText(im.error());
    EXPECT_EQ(im->bitsPerPixel, 32);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) {
        const bool opaque = alphas[x] >= 128;
        EXPECT_EQ(im->icon.mask.GetPixel(x, y), opaque ? kBlack : kWhite);
        EXPECT_EQ(im->icon.colour.GetPixel(x, y), opaque ? Pattern(x, y) : kBlack);
      }
  }
  // With no alpha at all, a missing mask is missing data.
  const ByteVec zeroAlpha = MakeIconDib(4, 2, 32, [](int x, int y) { return Raw24(Pattern(x, y)); }, andBit);
  EXPECT_EQ(DecodeIconImage(ByteVec(zeroAlpha.begin(), zeroAlpha.end() - 8)).error(), Error::kTruncated);
}

TEST(IconImage, PngStreamsUseTheSameAlphaRule) {
  const std::uint8_t alphas[] = {0, 127, 128, 255};
  const ByteVec png = MakePng(4, 3, [&](int x, int y) { return std::uint32_t{alphas[x]} << 24 | Raw24(Pattern(x, y)); });
  auto images = ReadIcoImages(MakeIcoFile({{png, 4, 3, 32}}));
  ASSERT_TRUE(images.ok()) << ErrorText(images.error());
  const IconImage& im = (*images)[0];
  EXPECT_EQ(im.bitsPerPixel, 32);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      const bool opaque = alphas[x] >= 128;
      EXPECT_EQ(im.icon.mask.GetPixel(x, y), opaque ? kBlack : kWhite);
      EXPECT_EQ(im.icon.colour.GetPixel(x, y), opaque ? Pattern(x, y) : kBlack);
    }
  // An empty IDAT chunk before the data is legal and changes nothing.
  ByteVec withEmpty = png;
  const ByteVec emptyIdat = {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E};
  withEmpty.insert(withEmpty.begin() + 33, emptyIdat.begin(), emptyIdat.end());
  auto same = DecodeIconImage(withEmpty);
  ASSERT_TRUE(same.ok()) << ErrorText(same.error());
  EXPECT_EQ(same->icon, im.icon);
  // A 256 x 256 PNG is described by an entry of 0 x 0.
  const ByteVec big = MakePng(256, 256, [](int, int) { return 0xFF102030u; });
  auto large = ReadIcoImages(MakeIcoFile({{big, 256, 256, 32}}));
  ASSERT_TRUE(large.ok()) << ErrorText(large.error());
  EXPECT_EQ((*large)[0].icon.colour.GetPixel(255, 255), Rgb(0x10, 0x20, 0x30));
}

TEST(IcoReader, ReadsEveryImageInFileOrderAndAcceptsTypeWordZero) {
  const auto solid = [](Colour c) { return [c](int, int) { return Raw24(c); }; };
  const auto none = [](int, int) { return false; };
  const ByteVec file = MakeIcoFile({{MakeIconDib(16, 16, 24, solid(Rgb(1, 2, 3)), none), 16, 16},
                                    {MakeIconDib(32, 32, 24, solid(Rgb(4, 5, 6)), none), 32, 32},
                                    {MakePng(48, 48, [](int, int) { return 0xFF070809u; }), 48, 48}},
                                   0);
  auto images = ReadIcoImages(file);
  ASSERT_TRUE(images.ok()) << ErrorText(images.error());
  ASSERT_EQ(images->size(), 3u);
  EXPECT_EQ((*images)[0].icon.colour.GetPixel(0, 0), Rgb(1, 2, 3));
  EXPECT_EQ((*images)[1].icon.colour.GetPixel(31, 31), Rgb(4, 5, 6));
  EXPECT_EQ((*images)[2].icon.colour.GetPixel(47, 0), Rgb(7, 8, 9));
  EXPECT_EQ((*images)[2].Width(), 48);
}

IconImage Solid(int w, int h, int bpp, Colour c) {
  IconImage im;
  im.bitsPerPixel = bpp;
  im.icon = Icon{Image(w, h, c), Image(w, h, kBlack)};
  // A transparent corner, so that scaling has a mask to carry.
  for (int y = 0; y < h / 2; ++y)
    for (int x = 0; x < w / 2; ++x) {
      im.icon.mask.SetPixel(x, y, kWhite);
      im.icon.colour.SetPixel(x, y, kBlack);
    }
  return im;
}

TEST(ChooseIconImage, PrefersExactSizeWithMostColoursThenLargerScaledThenSmallerAsIs) {
  const Colour a = Rgb(1, 0, 0), b = Rgb(2, 0, 0), c = Rgb(3, 0, 0), d = Rgb(4, 0, 0);
  struct Case {
    const char* what;
    std::vector<IconImage> images;
    int size;
    Icon want;
  };
  const std::vector<IconImage> exactSet = {Solid(16, 16, 32, a), Solid(32, 32, 4, b), Solid(32, 32, 8, c),
                                           Solid(32, 32, 8, d), Solid(48, 48, 32, a)};
  const IconImage big48 = Solid(48, 48, 8, c), wide = Solid(40, 32, 8, d);
  const Case cases[] = {
      {"32x32 with most colours, first of a tie", exactSet, 32, exactSet[2].icon},
      {"16x16 for the small icon", exactSet, 16, exactSet[0].icon},
      {"smallest larger image scaled down",
       {Solid(16, 16, 32, a), Solid(64, 64, 32, b), big48, Solid(48, 48, 4, d)}, 32, ResizeIcon(big48.icon, 32)},
      {"a wider image counts as larger when it covers the size",
       {Solid(64, 64, 8, a), wide}, 32, ResizeIcon(wide.icon, 32)},
      {"largest smaller image at its own size",
       {Solid(16, 16, 8, a), Solid(24, 24, 4, b), Solid(24, 24, 8, c), Solid(8, 8, 32, d)}, 32,
       Solid(24, 24, 8, c).icon},
      {"a 16x16-only file gives a 16x16 icon", {Solid(16, 16, 4, a)}, 32, Solid(16, 16, 4, a).icon},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const Icon got = ChooseIconImage(k.images, k.size);
    EXPECT_EQ(got, k.want);
  }
  // The scaled-down image is a proper 32x32 icon that keeps its transparent corner.
  const Icon scaled = ChooseIconImage({big48}, 32);
  ASSERT_EQ(scaled.Width(), 32);
  EXPECT_EQ(scaled.mask.GetPixel(0, 0), kWhite);
  EXPECT_EQ(scaled.colour.GetPixel(0, 0), kBlack);
  EXPECT_EQ(scaled.mask.GetPixel(31, 31), kBlack);
  EXPECT_EQ(scaled.colour.GetPixel(31, 31), c);
}

// Every class of damage an icon reader has been known to trip over, each with
// the error it must give.
TEST(IcoReader, RefusesDamagedFiles) {
  const auto raw8 = [](int x, int) { return std::uint32_t(x); };
  const auto holes = Holes;
  const ByteVec dib8 = MakeIconDib(8, 8, 8, raw8, holes);
  const ByteVec good = MakeIcoFile({{dib8, 8, 8, 8}});
  const auto ico = [](ByteVec image, int w = 8, int h = 8) { return MakeIcoFile({{std::move(image), w, h, 8}}); };
  // The 8x8 8-bit DIB with one header field changed (40-byte header at 0).
  const auto dibWith = [&](std::size_t at, std::uint32_t v, bool wide = true) {
    ByteVec d = dib8;
    if (wide) PokeU32(d, at, v); else PokeU16(d, at, v);
    return d;
  };
  const auto entryWith = [&](std::size_t at, std::uint32_t v, bool wide) {
    ByteVec f = good;
    if (wide) PokeU32(f, 6 + at, v); else PokeU16(f, 6 + at, v);
    return f;
  };
  ByteVec hugeCount(291, 0);
  PokeU16(hugeCount, 2, 1);
  PokeU16(hugeCount, 4, 0xD641);
  ByteVec tooMany(6 + 16 * (kMaxIcoImages + 1), 0);
  PokeU16(tooMany, 2, 1);
  PokeU16(tooMany, 4, kMaxIcoImages + 1);

  const ByteVec png8 = MakePng(8, 8, [](int, int) { return 0xFF000000u; });
  ByteVec pngHuge = png8;
  pngHuge[17] = 0x10;  // IHDR width, big-endian: 0x00100000
  ByteVec pngZero = png8;
  PokeU32(pngZero, 16, 0);

  // A 4096 x 4096 image spends the whole pixel budget; one more pixel is too many.
  // Made directly: all-zero rows are opaque pixels of colour 0.
  ByteVec bigDib = MakeDib(DibHeader{.width = 4096, .height = 2 * 4096, .bitCount = 1}, TestPalette(2), {});
  bigDib.resize(bigDib.size() + 2 * 4096 * 4096 / 8, 0);
  const ByteVec budgetFile = MakeIcoFile(
      {{bigDib, 0, 0, 1}, {MakeIconDib(1, 1, 24, [](int, int) { return 0u; }, [](int, int) { return false; }), 1, 1, 24}});

  struct Case {
    const char* what;
    ByteVec bytes;
    Error want;
  };
  const Case cases[] = {
      {"empty", {}, Error::kTruncated},
      {"directory cut short", ByteVec(good.begin(), good.begin() + 4), Error::kTruncated},
      {"reserved word not 0", [&] { ByteVec f = good; f[0] = 1; return f; }(), Error::kBadSignature},
      {"cursor type", [&] { ByteVec f = good; f[2] = 2; return f; }(), Error::kBadSignature},
      {"no images", [&] { ByteVec f = good; PokeU16(f, 4, 0); return f; }(), Error::kNoImages},
      {"0xD641 entries in 291 bytes", hugeCount, Error::kTruncated},
      {"more entries than the reader takes", tooMany, Error::kBadHeader},
      {"entry offset + size past the end", entryWith(8, static_cast<std::uint32_t>(dib8.size() + 1), true),
       Error::kTruncated},
      {"entry offset past the end", entryWith(12, 0xFFFFFFFFu, true), Error::kTruncated},
      {"entry size 4 GiB", entryWith(8, 0xFFFFFFFFu, true), Error::kTruncated},
      {"entry planes 65535", entryWith(4, 0xFFFF, false), Error::kBadHeader},
      {"entry bit count 65535", entryWith(6, 0xFFFF, false), Error::kBadHeader},
      {"odd biHeight", ico(dibWith(8, 17)), Error::kBadImageSize},
      {"height 0", ico(dibWith(8, 0)), Error::kBadImageSize},
      {"height INT_MIN", ico(dibWith(8, static_cast<std::uint32_t>(INT_MIN))), Error::kBadImageSize},
      {"top-down icon", ico(dibWith(8, static_cast<std::uint32_t>(-16))), Error::kBadHeader},
      {"width 0", ico(dibWith(4, 0)), Error::kBadImageSize},
      {"width above the icon limit", ico(dibWith(4, kMaxIconDimension + 1), 0, 8), Error::kImageTooLarge},
      {"header size 0", ico(dibWith(0, 0)), Error::kBadHeader},
      {"bit count 65535", ico(dibWith(14, 0xFFFF, false)), Error::kBadHeader},
      {"planes 65535", ico(dibWith(12, 0xFFFF, false)), Error::kBadHeader},
      {"palette over 2^bits", ico(dibWith(32, 257)), Error::kBadPalette},
      {"biClrUsed 0x40000000", ico(dibWith(32, 0x40000000)), Error::kBadPalette},
      {"colour table past the image", ico(ByteVec(dib8.begin(), dib8.begin() + 40 + 600)), Error::kBadPalette},
      {"palette index beyond the palette", ico(MakeIconDib(8, 8, 8, raw8, holes, TestPalette(4))),
       Error::kBadPaletteIndex},
      {"colour rows cut short", ico(ByteVec(dib8.begin(), dib8.begin() + 40 + 1024 + 60)), Error::kTruncated},
      {"AND mask cut short", ico(ByteVec(dib8.begin(), dib8.end() - 1)), Error::kTruncated},
      {"run-length icon", ico(dibWith(16, 1)), Error::kUnsupported},
      {"PNG cut short", ico(ByteVec(png8.begin(), png8.end() - 20)), Error::kBadPng},
      {"PNG signature only", ico(ByteVec(png8.begin(), png8.begin() + 8)), Error::kTruncated},
      {"PNG asking for a huge image", ico(pngHuge, 0, 8), Error::kImageTooLarge},
      {"PNG of width 0", ico(pngZero), Error::kBadImageSize},
      {"images beyond the per-file pixel budget", budgetFile, Error::kImageTooLarge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ReadIcoImages(c.bytes).error(), c.want);
  }
  EXPECT_TRUE(ReadIcoImages(good).ok());
  EXPECT_TRUE(ReadIcoFile(good).ok());
}

}  // namespace
}  // namespace pg
