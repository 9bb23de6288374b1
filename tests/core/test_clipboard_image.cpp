#include <gtest/gtest.h>

#include "imaging/bmp.h"
#include "imaging/clipboard_image.h"
#include "imaging/icon_source.h"
#include "image_fixtures.h"
#include "imaging/resample.h"

namespace pg {
namespace {

using namespace fixtures;

// A picture whose every pixel differs from its neighbours.
Colour Pattern(int x, int y) {
  return Rgb(static_cast<std::uint8_t>(13 * x + 7), static_cast<std::uint8_t>(29 * y + 3),
             static_cast<std::uint8_t>(5 * x * y + 11));
}
Image PatternImage(int w, int h) {
  Image im(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) im.SetPixel(x, y, Pattern(x, y));
  return im;
}
// The pattern as a raw 0x00RRGGBB value for PackRows.
std::uint32_t RawPattern(int x, int y) {
  const Colour c = Pattern(x, y);
  return (std::uint32_t{RedOf(c)} << 16) | (std::uint32_t{GreenOf(c)} << 8) | BlueOf(c);
}

DibHeader Header(std::uint32_t size, int w, int h, int bpp, std::uint32_t compression = 0) {
  DibHeader hd;
  hd.size = size;
  hd.width = w;
  hd.height = h;
  hd.bitCount = static_cast<std::uint16_t>(bpp);
  hd.compression = compression;
  return hd;
}

TEST(ReadClipboardDib, DecodesEveryDepthAndHeaderAProgramMayPut) {
  constexpr int w = 5, h = 3;
  const auto index = [](int x, int y) { return static_cast<std::uint32_t>((x + y) % 2); };
  const std::vector<Colour> two = {Rgb(1, 2, 3), Rgb(250, 251, 252)};
  const auto to565 = [](int x, int y) {
    const Colour c = Pattern(x, y);
    return (std::uint32_t{RedOf(c)} >> 3 << 11) | (std::uint32_t{GreenOf(c)} >> 2 << 5) | (BlueOf(c) >> 3);
  };
  const auto expand565 = [&](int x, int y) {
    const std::uint32_t v = to565(x, y);
    const auto widen = [](std::uint32_t c, std::uint32_t max) { return static_cast<std::uint8_t>((c * 255 + max / 2) / max); };
    return Rgb(widen(v >> 11, 31), widen((v >> 5) & 63, 63), widen(v & 31, 31));
  };
  struct Case {
    const char* what;
    ByteVec dib;
    std::function<Colour(int, int)> expected;
    int bits;
  };
  DibHeader topDown = Header(40, w, -h, 24);
  const Case cases[] = {
      {"1 bit", MakeDib(Header(40, w, h, 1), two, PackRows(w, h, 1, index)),
       [&](int x, int y) { return two[index(x, y)]; }, 1},
      {"8 bits, short table", MakeDib([&] { auto hd = Header(40, w, h, 8); hd.clrUsed = 2; return hd; }(), two,
                                      PackRows(w, h, 8, index)),
       [&](int x, int y) { return two[index(x, y)]; }, 8},
      {"core header", MakeDib(Header(12, w, h, 24), {}, PackRows(w, h, 24, RawPattern)), Pattern, 24},
      {"24 bits", MakeDib(Header(40, w, h, 24), {}, PackRows(w, h, 24, RawPattern)), Pattern, 24},
      {"24 bits top-down", MakeDib(topDown, {}, PackRows(w, h, 24, RawPattern, true)), Pattern, 24},
      {"16 bits 5-6-5 in BI_BITFIELDS", MakeDib(Header(40, w, h, 16, 3), {}, PackRows(w, h, 16, to565), {0xF800, 0x07E0, 0x001F}),
       expand565, 16},
      {"32 bits BI_RGB, fourth byte zero", MakeDib(Header(40, w, h, 32), {}, PackRows(w, h, 32, RawPattern)), Pattern, 32},
      {"32 bits BI_BITFIELDS in a 40-byte header",
       MakeDib(Header(40, w, h, 32, 3), {}, PackRows(w, h, 32, [](int x, int y) { return RawPattern(x, y) << 8; }),
               {0xFF000000, 0x00FF0000, 0x0000FF00}),
       Pattern, 32},
      {"V5 header, BI_BITFIELDS", [&] {
         auto hd = Header(124, w, h, 32, 3);
         hd.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
         return MakeDib(hd, {}, PackRows(w, h, 32, [](int x, int y) { return 0xFF000000u | RawPattern(x, y); }));
       }(), Pattern, 32},
      {"V5 header with the masks repeated after it", [&] {
         auto hd = Header(124, w, h, 32, 3);
         hd.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
         return MakeDib(hd, {}, PackRows(w, h, 32, [](int x, int y) { return 0xFF000000u | RawPattern(x, y); }),
                        {0x00FF0000, 0x0000FF00, 0x000000FF});
       }(), Pattern, 32},
  };
  for (const Case& c : cases) {
    // The system rounds clipboard blocks up: trailing bytes belong to nothing.
    for (std::size_t slack : {std::size_t{0}, std::size_t{16}}) {
      ByteVec block = c.dib;
      block.resize(block.size() + slack, 0xCD);
      auto got = ReadClipboardDib(block);
      ASSERT_TRUE(got.ok()) << c.what << ": " << ErrorText(got.error());
      EXPECT_EQ(got->bitsPerPixel, c.bits) << c.what;
      ASSERT_EQ(got->image.Width(), w) << c.what;
      ASSERT_EQ(got->image.Height(), h) << c.what;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          ASSERT_EQ(got->image.GetPixel(x, y), c.expected(x, y)) << c.what << " at " << x << "," << y;
      // All opaque: a fourth byte that is zero everywhere is no alpha, and
      // 255 everywhere says nothing either.
      EXPECT_TRUE(got->alpha.empty()) << c.what;
    }
  }
}

TEST(ReadClipboardDib, KeepsAlphaOfThirtyTwoBitRows) {
  constexpr int w = 4, h = 2;
  const auto alphaAt = [](int x, int y) { return static_cast<std::uint8_t>(x * 80 + y); };
  const auto raw = [&](int x, int y) { return (std::uint32_t{alphaAt(x, y)} << 24) | RawPattern(x, y); };
  auto v5 = Header(124, w, h, 32, 3);
  v5.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  const ByteVec forms[] = {MakeDib(Header(40, w, h, 32), {}, PackRows(w, h, 32, raw)),
                           MakeDib(v5, {}, PackRows(w, h, 32, raw))};
  for (const ByteVec& dib : forms) {
    auto got = ReadClipboardDib(dib);
    ASSERT_TRUE(got.ok());
    ASSERT_EQ(got->alpha.size(), std::size_t{w * h});
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        EXPECT_EQ(got->alpha[static_cast<std::size_t>(y * w + x)], alphaAt(x, y));
        EXPECT_EQ(got->image.GetPixel(x, y), Pattern(x, y));
      }
  }
}

TEST(ReadClipboardDib, RefusesDamagedBlocks) {
  const ByteVec good = MakeDib(Header(40, 4, 4, 24), {}, PackRows(4, 4, 24, RawPattern));
  const auto with = [&](std::size_t at, std::uint32_t v) {
    ByteVec b = good;
    PokeU32(b, at, v);
    return b;
  };
  struct Case {
    const char* what;
    ByteVec dib;
  };
  const Case cases[] = {
      {"empty block", {}},
      {"half a header", ByteVec(good.begin(), good.begin() + 20)},
      {"rows cut short", ByteVec(good.begin(), good.end() - 1)},
      {"unknown header size", with(0, 41)},
      {"zero width", with(4, 0)},
      {"negative width", with(4, 0xFFFFFFFF)},
      {"height INT_MIN", with(8, 0x80000000)},
      {"huge dimensions, no rows", with(4, 0x7FFFFFFF)},
      {"bit count 7", with(12, 0x00070001)},
      {"JPEG inside", with(16, 4)},
      {"colour table larger than the block", [] {
         auto hd = Header(40, 4, 4, 8);
         hd.clrUsed = 256;
         return MakeDib(hd, TestPalette(3), PackRows(4, 4, 8, [](int, int) { return 0u; }));
       }()},
      {"index past a short table", [] {
         auto hd = Header(40, 4, 4, 8);
         hd.clrUsed = 2;
         return MakeDib(hd, TestPalette(2), PackRows(4, 4, 8, [](int x, int) { return static_cast<std::uint32_t>(x); }));
       }()},
      {"overlapping masks", MakeDib(Header(40, 2, 2, 32, 3), {}, PackRows(2, 2, 32, RawPattern),
                                    {0x00FF0000, 0x00FFFF00, 0x000000FF})},
  };
  for (const Case& c : cases) EXPECT_FALSE(ReadClipboardDib(c.dib).ok()) << c.what;
}

TEST(ReadClipboardPng, KeepsColoursAndAlpha) {
  const auto rgba = [](int x, int y) { return (x == 1 ? 0x00000000u : 0xFF000000u) | RawPattern(x, y); };
  ByteVec png = MakePng(3, 2, rgba);
  png.resize(png.size() + 9, 0);  // a rounded-up block
  auto got = ReadClipboardPng(png);
  ASSERT_TRUE(got.ok());
  EXPECT_EQ(got->bitsPerPixel, 32);
  ASSERT_EQ(got->image.Width(), 3);
  ASSERT_EQ(got->alpha.size(), 6u);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(got->image.GetPixel(x, y), Pattern(x, y));
      EXPECT_EQ(got->alpha[static_cast<std::size_t>(y * 3 + x)], x == 1 ? 0 : 255);
    }
  // An opaque PNG pastes as a bitmap does; a wholly transparent one stays so.
  auto opaque = ReadClipboardPng(MakePng(3, 2, [](int x, int y) { return 0xFF000000u | RawPattern(x, y); }));
  ASSERT_TRUE(opaque.ok());
  EXPECT_TRUE(opaque->alpha.empty());
  auto clear = ReadClipboardPng(MakePng(3, 2, RawPattern));
  ASSERT_TRUE(clear.ok());
  EXPECT_EQ(clear->alpha, std::vector<std::uint8_t>(6, 0));

  ByteVec cut = MakePng(3, 2, rgba);
  cut.resize(cut.size() / 2);
  EXPECT_FALSE(ReadClipboardPng(cut).ok());
  EXPECT_FALSE(ReadClipboardPng(ByteVec{'P', 'N', 'G'}).ok());
}

TEST(PastedIcon, OpaquePicturesFollowTheBitmapFileRule) {
  struct Case {
    const char* what;
    int w, h;
  };
  const Case cases[] = {{"32x32 as it is", 32, 32}, {"16x16 doubled", 16, 16}, {"8x4 stretched", 8, 4},
                        {"640x480 filtered", 640, 480}, {"33x31 filtered", 33, 31}};
  for (const Case& c : cases) {
    ClipboardImage picture;
    picture.image = PatternImage(c.w, c.h);
    const Icon icon = PastedIcon(picture);
    // What a bitmap file of the same picture gives as an icon source.
    auto source = OpenIconSource(WriteBmp24(picture.image));
    ASSERT_TRUE(source.ok()) << c.what;
    auto fromFile = (*source)->Extract(0);
    ASSERT_TRUE(fromFile.ok()) << c.what;
    EXPECT_EQ(icon, *fromFile) << c.what;
    EXPECT_EQ(icon.mask, Image(32, 32, kBlack)) << c.what;
  }
  ClipboardImage exact;
  exact.image = PatternImage(32, 32);
  EXPECT_EQ(PastedIcon(exact).colour, exact.image);
  ClipboardImage small;
  small.image = PatternImage(16, 16);
  EXPECT_EQ(PastedIcon(small).colour.GetPixel(31, 30), Pattern(15, 15));  // replicated, not blended
}

TEST(PastedIcon, AlphaDecidesTransparencyAsInIconImages) {
  // Left half transparent (alpha 0 and 127), right half opaque (128, 255).
  ClipboardImage picture;
  picture.image = PatternImage(32, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      picture.alpha.push_back(x < 16 ? (y % 2 ? 0 : 127) : (y % 2 ? 128 : 255));
  const Icon icon = PastedIcon(picture);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      EXPECT_EQ(icon.mask.GetPixel(x, y), x < 16 ? kWhite : kBlack) << x << "," << y;
      EXPECT_EQ(icon.colour.GetPixel(x, y), x < 16 ? kBlack : Pattern(x, y)) << x << "," << y;
    }

  // A larger picture with a transparent border keeps it after scaling down:
  // a 96x96 picture whose opaque square is 48..95 x 0..47.
  ClipboardImage big;
  big.image = Image(96, 96, Rgb(255, 0, 0));
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 96; ++x) big.alpha.push_back(x >= 48 && y < 48 ? 255 : 0);
  const Icon scaled = PastedIcon(big);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const bool opaque = x >= 16 && y < 16;
      ASSERT_EQ(scaled.mask.GetPixel(x, y), opaque ? kBlack : kWhite) << x << "," << y;
      ASSERT_EQ(scaled.colour.GetPixel(x, y), opaque ? Rgb(255, 0, 0) : kBlack) << x << "," << y;
    }
}

TEST(PastedIcon, FromAPngWithATransparentBackground) {
  // A browser's picture: a 64x64 disc on a transparent background.
  const ByteVec png = MakePng(64, 64, [](int x, int y) {
    const int dx = x - 32, dy = y - 32;
    return dx * dx + dy * dy < 20 * 20 ? 0xFF2040F0u : 0x00FFFFFFu;
  });
  auto picture = ReadClipboardPng(png);
  ASSERT_TRUE(picture.ok());
  const Icon icon = PastedIcon(*picture);
  EXPECT_EQ(icon.mask.GetPixel(0, 0), kWhite);
  EXPECT_EQ(icon.colour.GetPixel(0, 0), kBlack);
  EXPECT_EQ(icon.mask.GetPixel(16, 16), kBlack);
  EXPECT_EQ(icon.colour.GetPixel(16, 16), Rgb(0x20, 0x40, 0xF0));
}

TEST(ClipboardDib, ThePictureExactlyAsA24BitPackedDib) {
  Image composite = PatternImage(32, 32);
  composite.SetPixel(0, 0, kKeyColour);
  composite.SetPixel(31, 31, kKeyColour);
  const std::vector<std::uint8_t> dib = ClipboardDib(composite);
  ASSERT_EQ(dib.size(), 40u + 32u * 96u);
  ByteReader r(dib);
  EXPECT_EQ(r.U32(), 40u);
  EXPECT_EQ(r.I32(), 32);
  EXPECT_EQ(r.I32(), 32);  // bottom-up
  EXPECT_EQ(r.U16(), 1u);
  EXPECT_EQ(r.U16(), 24u);
  EXPECT_EQ(r.U32(), 0u);  // BI_RGB
  // Pixel (0, 0) is the first of the last row: B, G, R of the key colour.
  const std::size_t topLeft = 40 + 31 * 96;
  EXPECT_EQ(dib[topLeft], 128);
  EXPECT_EQ(dib[topLeft + 1], 96);
  EXPECT_EQ(dib[topLeft + 2], 64);
  auto back = ReadClipboardDib(dib);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(back->image, composite);
  EXPECT_TRUE(back->alpha.empty());
  // Copy, then paste: the icon reproduces the composite.
  EXPECT_EQ(PastedIcon(*back).colour, composite);
}

}  // namespace
}  // namespace pg
