#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "imaging/clipboard_image.h"
#include "exe_fixtures.h"
#include "imaging/ico_reader.h"
#include "imaging/icon_source.h"
#include "imaging/icon_writer.h"
#include "image_fixtures.h"
#include "imaging/merge.h"
#include "imaging/multi_size.h"

namespace pg {
namespace {

using fixtures::ByteVec;

// A deterministic picture of `size` x `size` with every kind of alpha:
// 0, 255 and partial values, in a pattern that differs per seed.
RgbaImage Pattern(int size, int seed) {
  RgbaImage im(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const unsigned h = static_cast<unsigned>((x * 73 + y * 151 + seed * 29) ^ (x * y + seed));
      std::uint8_t a = static_cast<std::uint8_t>(h * 2654435761u >> 24);
      if (h % 7 == 0) a = 0;
      if (h % 5 == 0) a = 255;
      if (a == 0) continue;
      std::uint8_t* p = im.At(x, y);
      p[0] = static_cast<std::uint8_t>(h * 31);
      p[1] = static_cast<std::uint8_t>(h * 17 + 3);
      p[2] = static_cast<std::uint8_t>(h * 7 + seed);
      p[3] = a;
    }
  return im;
}

// A source holding an image of exactly every size, so no size is filtered.
SlotSource EverySize(int seed) {
  SlotSource s;
  for (int size : kIconSizes) s.images.push_back({32, Pattern(size, seed + size)});
  return s;
}

// "Over" for one pixel, written the textbook way in floating point, halves
// rounded up. The exact value is a fraction with a denominator below 2 * 255^2,
// so it is either a half exactly or at least 1e-5 away from one: the 1e-9
// only undoes the floating-point error at exact halves.
std::array<int, 4> OverByHand(const std::uint8_t* upper, const std::uint8_t* lower) {
  const double au = upper[3] / 255.0, al = lower[3] / 255.0;
  const double ao = au + al * (1 - au);
  std::array<int, 4> out{};
  if (ao == 0) return out;
  for (int k = 0; k < 3; ++k)
    out[static_cast<std::size_t>(k)] =
        static_cast<int>(std::floor((upper[k] * au + lower[k] * al * (1 - au)) / ao + 0.5 + 1e-9));
  out[3] = static_cast<int>(std::floor(ao * 255 + 0.5));
  return out;
}

std::array<int, 4> PixelOf(const RgbaImage& im, int x, int y) {
  const std::uint8_t* p = im.At(x, y);
  return {p[0], p[1], p[2], p[3]};
}

TEST(ScaleOffset, RoundsToNearestWithHalvesToEven) {
  struct Case { std::int32_t v; int size; std::int32_t want; };
  const Case cases[] = {
      {0, 256, 0},  {32, 16, 16},  {-32, 40, -40}, {7, 256, 56},
      {1, 16, 0},   {3, 16, 2},    {5, 16, 2},     {-1, 16, 0},   {-3, 16, -2},  // halves
      {1, 48, 2},   {3, 48, 4},    {2, 24, 2},     {6, 24, 4},    {-1, 48, -2},  // halves
      {1, 20, 1},   {5, 20, 3},    {1, 24, 1},     {-5, 40, -6},  {-7, 20, -4},
      {9, 64, 18},  {-9, 32, -9},  {31, 24, 23},   {13, 40, 16},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ScaleOffset(c.v, c.size), c.want) << c.v << " at " << c.size;
}

TEST(ChooseSourceImage, ExactMostColoursThenSmallestLargerThenLargest) {
  SlotSource s;
  for (auto [w, bpp] : {std::pair{32, 8}, {32, 32}, {16, 4}, {48, 32}, {256, 32}, {48, 24}})
    s.images.push_back({bpp, RgbaImage(w, w)});
  struct Case { int target; int want; };
  const Case cases[] = {
      {32, 1},   // exact, 32 bits beats 8
      {16, 2},   // exact
      {20, 1},   // the smallest that covers: 32x32, the one with more bits
      {40, 3},   // 48x48, the one with more bits
      {64, 4},   // 256 scaled down
      {256, 4},
      {8, 2},    // 16 covers 8
  };
  for (const Case& c : cases) EXPECT_EQ(ChooseSourceImage(s, c.target), c.want) << c.target;
  SlotSource onlySmall;
  onlySmall.images = {{8, RgbaImage(16, 16)}, {4, RgbaImage(24, 24)}};
  EXPECT_EQ(ChooseSourceImage(onlySmall, 32), 1);  // the largest smaller one
  EXPECT_EQ(ChooseSourceImage(SlotSource{}, 32), -1);
}

TEST(ComposeAtSize, ExactSizeImagesComposeUnfilteredByTheOverRule) {
  const SlotSource upper = EverySize(1), lower = EverySize(2);
  const Offset uo{5, -3}, lo{-2, 7};
  for (std::size_t n = 0; n < kIconSizes.size(); ++n) {
    const int size = kIconSizes[n];
    const RgbaImage got = ComposeAtSize(upper, uo, lower, lo, size);
    ASSERT_EQ(got.width, size);
    ASSERT_EQ(got.height, size);
    const RgbaImage& u = upper.images[n].rgba;
    const RgbaImage& l = lower.images[n].rgba;
    const int ux = ScaleOffset(uo.x, size), uy = ScaleOffset(uo.y, size);
    const int lx = ScaleOffset(lo.x, size), ly = ScaleOffset(lo.y, size);
    const std::uint8_t none[4] = {0, 0, 0, 0};
    int mismatches = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const bool inU = x - ux >= 0 && x - ux < size && y - uy >= 0 && y - uy < size;
        const bool inL = x - lx >= 0 && x - lx < size && y - ly >= 0 && y - ly < size;
        const std::array<int, 4> want =
            OverByHand(inU ? u.At(x - ux, y - uy) : none, inL ? l.At(x - lx, y - ly) : none);
        if (PixelOf(got, x, y) != want && ++mismatches < 5)
          ADD_FAILURE() << "size " << size << " pixel " << x << "," << y;
      }
    EXPECT_EQ(mismatches, 0) << "size " << size;
  }
}

TEST(SourceLayer, ScalesDownOnPremultipliedAlphaAndEnlargesByWholeFactors) {
  // Opaque red beside transparent pixels: averaged with premultiplied alpha
  // the colour stays pure red and only the alpha halves.
  SlotSource big;
  big.images.push_back({32, RgbaImage(64, 64)});
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; x += 2) {
      std::uint8_t* p = big.images[0].rgba.At(x, y);
      p[0] = 255;
      p[3] = 255;
    }
  const RgbaImage down = SourceLayer(big, 32);
  ASSERT_EQ(down.width, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) ASSERT_EQ(PixelOf(down, x, y), (std::array<int, 4>{255, 0, 0, 128}));

  // Only a 16x16 image: x3 at 48 and x2 at 40 (top-left, the rest left
  // transparent), by replication.
  SlotSource small;
  small.images.push_back({32, Pattern(16, 3)});
  const RgbaImage x3 = SourceLayer(small, 48);
  ASSERT_EQ(x3.width, 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 48; ++x) ASSERT_EQ(PixelOf(x3, x, y), PixelOf(small.images[0].rgba, x / 3, y / 3));
  const RgbaImage at40 = ComposeAtSize(SlotSource{}, {}, small, {}, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      const std::array<int, 4> want =
          x < 32 && y < 32 ? PixelOf(small.images[0].rgba, x / 2, y / 2) : std::array<int, 4>{};
      ASSERT_EQ(PixelOf(at40, x, y), want) << x << "," << y;
    }
}

TEST(ComposeAtSize, TheSmallIconLiesAtHalfSizeInTheTopLeft) {
  SlotSource s = EverySize(4);
  s.small = true;
  for (int size : kIconSizes) {
    const RgbaImage got = ComposeAtSize(SlotSource{}, {}, s, {}, size);
    const int half = size / 2;
    const RgbaImage& own = s.images[static_cast<std::size_t>(ChooseSourceImage(s, half))].rgba;
    if (own.width != half) continue;  // 10, 12, 20 and 128 are filtered; checked by size only
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x)
        ASSERT_EQ(PixelOf(got, x, y), (x < half && y < half ? PixelOf(own, x, y) : std::array<int, 4>{}))
            << size << ": " << x << "," << y;
  }
  // 10x10 at 20: the 16x16 image scaled down, nothing beyond 10 pixels.
  const RgbaImage at20 = ComposeAtSize(SlotSource{}, {}, s, {}, 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 10; x < 20; ++x) ASSERT_EQ(at20.AlphaAt(x, y), 0);
}

TEST(DecodeSourceImage, MaskOnlyImagesAndInvertingPixelsGiveAlphaZeroOr255) {
  // 4 bits: palette index 1 where x is even; the mask is transparent in the
  // top row, where odd pixels keep a non-black colour (they would invert).
  const ByteVec dib = fixtures::MakeIconDib(
      8, 4, 4, [](int x, int) { return x % 2 == 0 ? 1u : 2u; }, [](int, int y) { return y == 0; });
  auto im = DecodeSourceImage(dib);
  ASSERT_TRUE(im.ok()) << ErrorText(im.error());
  EXPECT_EQ(im->bitsPerPixel, 4);
  const auto palette = fixtures::TestPalette(16);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) {
      const Colour c = palette[x % 2 == 0 ? 1 : 2];
      const std::array<int, 4> want = y == 0 ? std::array<int, 4>{}
                                             : std::array<int, 4>{RedOf(c), GreenOf(c), BlueOf(c), 255};
      EXPECT_EQ(PixelOf(im->rgba, x, y), want) << x << "," << y;
    }

  // 32 bits with alpha: every alpha value is kept as it is (the 32x32 reader
  // thresholds it at 128).
  const ByteVec withAlpha = fixtures::MakeIconDib(
      4, 1, 32, [](int x, int) { return (std::uint32_t{x * 60u + 10} << 24) | 0x102030u; },
      [](int, int) { return false; });
  auto alpha = DecodeSourceImage(withAlpha);
  ASSERT_TRUE(alpha.ok());
  for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelOf(alpha->rgba, x, 0), (std::array<int, 4>{0x10, 0x20, 0x30, x * 60 + 10}));
}

TEST(DecodeSlotSource, DecodesOnlyTheImagesSomeSizeChooses) {
  // 16, 24, 32 (4 and 32 bits), 48, 128, 256 and 512: 20 takes 24, 40 and 48
  // take 48, 64 takes 128; the 4-bit 32 and the 512 are never drawn.
  std::vector<ByteVec> files;
  for (auto [w, bpp] : {std::pair{16, 32}, {24, 32}, {32, 4}, {32, 32}, {48, 32}, {128, 32}, {256, 32}, {512, 32}})
    files.push_back(bpp == 32 && w >= 256 ? fixtures::MakePng(w, w, [](int, int) { return 0xFF0000FFu; })
                                          : fixtures::MakeIconDib(w, w, bpp, [](int, int) { return 0xFF336699u; },
                                                                  [](int, int) { return false; }));
  std::vector<Bytes> spans(files.begin(), files.end());
  auto s = DecodeSlotSource(spans, false);
  ASSERT_TRUE(s.ok()) << ErrorText(s.error());
  std::vector<std::pair<int, int>> kept;
  for (const SourceImage& im : s->images) kept.push_back({im.rgba.width, im.bitsPerPixel});
  EXPECT_EQ(kept, (std::vector<std::pair<int, int>>{{16, 32}, {24, 32}, {32, 32}, {48, 32}, {128, 32}, {256, 32}}));

  // As a small icon it needs 8..128: 16 serves 8, 10, 12 and 16.
  auto small = DecodeSlotSource(spans, true);
  ASSERT_TRUE(small.ok());
  kept.clear();
  for (const SourceImage& im : small->images) kept.push_back({im.rgba.width, im.bitsPerPixel});
  EXPECT_EQ(kept, (std::vector<std::pair<int, int>>{{16, 32}, {24, 32}, {32, 32}, {128, 32}}));

  // A damaged best image gives way to the next; nothing usable is an error.
  ByteVec broken = files[3];
  broken.resize(60);
  const std::vector<Bytes> withBroken{Bytes(broken), Bytes(files[2])};
  auto fallback = DecodeSlotSource(withBroken, false);
  ASSERT_TRUE(fallback.ok());
  ASSERT_EQ(fallback->images.size(), 1u);
  EXPECT_EQ(fallback->images[0].bitsPerPixel, 4);
  const std::vector<Bytes> onlyBroken{Bytes(broken)};
  EXPECT_FALSE(DecodeSlotSource(onlyBroken, false).ok());
  EXPECT_EQ(DecodeSlotSource({}, false).error(), Error::kNoImages);
}

TEST(IconSource, ExtractSourceGivesTheGroupsImagesForEveryKind) {
  const pgtest::Buf ico = pgtest::IcoFile({{16, 16, 4, 0x0000FF}, {32, 32, 8, 0x00FF00}, {48, 48, 32, 0xFF0000}});
  const pgtest::Buf pe = pgtest::BuildPe(pgtest::IconResources({{1, u"", {{16, 16, 4, 0x0000FF},
                                                                            {32, 32, 8, 0x00FF00},
                                                                            {48, 48, 32, 0xFF0000}}}}),
                                         false).bytes;
  for (const pgtest::Buf* file : {&ico, &pe}) {
    auto src = OpenIconSource(*file);
    ASSERT_TRUE(src.ok());
    auto s = (*src)->ExtractSource(0, false);
    ASSERT_TRUE(s.ok()) << ErrorText(s.error());
    ASSERT_EQ(s->images.size(), 3u);
    EXPECT_FALSE(s->small);
    const RgbaImage at48 = SourceLayer(*s, 48);
    EXPECT_EQ(PixelOf(at48, 20, 20), (std::array<int, 4>{0, 0, 255, 255}));
    EXPECT_EQ(at48.AlphaAt(0, 0), 0);  // the fixtures' transparent corner
    auto smallSet = (*src)->ExtractSource(0, true);
    ASSERT_TRUE(smallSet.ok());
    EXPECT_TRUE(smallSet->small);
    EXPECT_EQ((*src)->ExtractSource(1, false).error(), Error::kNoSuchIcon);
  }
  // A bitmap: its whole picture, stretched to fill the layer.
  const pgtest::Buf bmp = pgtest::BmpFile(2, 2, 24, {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF});
  auto src = OpenIconSource(bmp);
  ASSERT_TRUE(src.ok());
  auto s = (*src)->ExtractSource(0, false);
  ASSERT_TRUE(s.ok());
  const RgbaImage at40 = SourceLayer(*s, 40);
  ASSERT_EQ(at40.width, 40);
  EXPECT_EQ(PixelOf(at40, 39, 39), (std::array<int, 4>{255, 255, 255, 255}));
}

TEST(ComposeAtSize, At32AgreesWithTheCellWhereverTheSourcesAreOpaqueOrTransparent) {
  // Icons as the cell holds them (mask and colour, no inverting pixels).
  const auto make = [](int seed) {
    Icon icon = TransparentIcon();
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x)
        if ((x * 3 + y * seed) % 4 != 0) {
          icon.mask.SetPixel(x, y, kBlack);
          icon.colour.SetPixel(x, y, Rgb(std::uint8_t(x * 8), std::uint8_t(seed * 40), std::uint8_t(y * 8)));
        }
    return icon;
  };
  LayerModel model;
  model.SetIcon(Slot::kLower, make(1));
  model.SetIcon(Slot::kUpper, make(2));
  model.SetOffset(Slot::kUpper, {6, -4});
  model.Rebuild();
  const RgbaImage at32 = ComposeModelAtSize(model, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const Colour c = model.Composite().GetPixel(x, y);
      if (at32.AlphaAt(x, y) == 0) {
        EXPECT_EQ(c, kKeyColour) << x << "," << y;
      } else {
        ASSERT_EQ(at32.AlphaAt(x, y), 255);
        EXPECT_EQ(PixelOf(at32, x, y), (std::array<int, 4>{RedOf(c), GreenOf(c), BlueOf(c), 255}));
      }
    }
}

TEST(MergeIcons, FlattensEverySizeIntoTheLowerSlot) {
  LayerModel model;
  model.SetIcon(Slot::kLower, TransparentIcon(), EverySize(5));
  model.SetIcon(Slot::kUpper, TransparentIcon(), EverySize(6));
  model.SetOffset(Slot::kLower, {3, 1});
  model.SetOffset(Slot::kUpper, {-7, 9});
  model.Rebuild();
  std::vector<RgbaImage> before;
  for (int size : kIconSizes) before.push_back(ComposeModelAtSize(model, size));

  PaletteTable table;
  ASSERT_EQ(MergeIcons(model, table), Error::kOk);
  ASSERT_EQ(model.SourceOf(Slot::kLower).images.size(), kIconSizes.size());
  EXPECT_TRUE(model.SourceOf(Slot::kUpper).Empty());
  for (std::size_t n = 0; n < kIconSizes.size(); ++n)
    EXPECT_EQ(ComposeModelAtSize(model, kIconSizes[n]), before[n]) << kIconSizes[n];

  // A further icon laid on top and merged again keeps every size.
  model.SetIcon(Slot::kUpper, TransparentIcon(), EverySize(7));
  model.SetOffset(Slot::kUpper, {12, 12});
  model.Rebuild();
  before.clear();
  for (int size : kIconSizes) before.push_back(ComposeModelAtSize(model, size));
  ASSERT_EQ(MergeIcons(model, table), Error::kOk);
  for (std::size_t n = 0; n < kIconSizes.size(); ++n)
    EXPECT_EQ(ComposeModelAtSize(model, kIconSizes[n]), before[n]) << kIconSizes[n];
}

TEST(WriteMultiSizeIcon, TheFileStatesTheTruthAndReadsBack) {
  LayerModel model;
  model.SetIcon(Slot::kLower, TransparentIcon(), EverySize(8));
  model.SetIcon(Slot::kUpper, TransparentIcon(), EverySize(9));
  model.SetOffset(Slot::kUpper, {4, 4});
  const std::vector<std::uint8_t> file = WriteModelMultiSizeIcon(model);

  // Directory: type 1, eight entries from 256 down, 1 plane, 32 bits, the
  // images one after the other from the end of the directory.
  ByteReader r(file);
  EXPECT_EQ(r.U16(), 0);
  EXPECT_EQ(r.U16(), 1);
  ASSERT_EQ(r.U16(), 8);
  const int order[] = {256, 64, 48, 40, 32, 24, 20, 16};
  std::uint32_t expectOffset = 6 + 16 * 8;
  for (int size : order) {
    EXPECT_EQ(r.U8(), size == 256 ? 0 : size);
    EXPECT_EQ(r.U8(), size == 256 ? 0 : size);
    EXPECT_EQ(r.U16(), 0);  // colour count, reserved
    EXPECT_EQ(r.U16(), 1);
    EXPECT_EQ(r.U16(), 32);
    const std::uint32_t bytes = r.U32(), offset = r.U32();
    EXPECT_EQ(offset, expectOffset);
    const Bytes image = Bytes(file).subspan(offset, bytes);
    if (size == 256) {
      EXPECT_EQ(std::memcmp(image.data(), "\x89PNG", 4), 0);
    } else {
      const std::uint32_t mask = static_cast<std::uint32_t>((size + 31) / 32 * 4 * size);
      EXPECT_EQ(bytes, 40u + static_cast<std::uint32_t>(size * size * 4) + mask);
    }
    expectOffset += bytes;
  }
  EXPECT_EQ(expectOffset, file.size());

  // Every image reads back with its alpha exactly as composed.
  auto back = ReadIcoSlotSource(file, false);
  ASSERT_TRUE(back.ok());
  ASSERT_EQ(back->images.size(), 8u);
  for (const SourceImage& im : back->images)
    EXPECT_EQ(im.rgba, ComposeModelAtSize(model, im.rgba.width)) << im.rgba.width;

  // The project's own reader: eight images; opaque where alpha >= 128.
  auto images = ReadIcoImages(file);
  ASSERT_TRUE(images.ok()) << ErrorText(images.error());
  ASSERT_EQ(images->size(), 8u);
  for (std::size_t n = 0; n < 8; ++n) {
    const IconImage& im = (*images)[n];
    ASSERT_EQ(im.Width(), order[n]);
    EXPECT_EQ(im.bitsPerPixel, 32);
    const RgbaImage composed = ComposeModelAtSize(model, order[n]);
    for (int y = 0; y < im.Height(); ++y)
      for (int x = 0; x < im.Width(); ++x) {
        const std::uint8_t* p = composed.At(x, y);
        ASSERT_EQ(im.icon.mask.GetPixel(x, y) == kBlack, p[3] >= kOpaqueAlpha);
        if (p[3] >= kOpaqueAlpha) {
          ASSERT_EQ(im.icon.colour.GetPixel(x, y), Rgb(p[0], p[1], p[2]));
        }
      }
  }
}

TEST(WriteMultiSizeIcon, AnAllTransparentImageHasAnAllTransparentMask) {
  const std::vector<std::uint8_t> file = WriteMultiSizeIcon({RgbaImage(16, 16)});
  auto images = ReadIcoImages(file);
  ASSERT_TRUE(images.ok());
  EXPECT_EQ((*images)[0].icon.mask, Image(16, 16, kWhite));
}

TEST(PastedSlotSource, KeepsAlphaAndFillsTheLayer) {
  ClipboardImage picture;
  picture.image = Image(2, 1, Rgb(10, 20, 30));
  picture.alpha = {255, 64};
  picture.bitsPerPixel = 32;
  const SlotSource s = PastedSlotSource(picture);
  ASSERT_TRUE(s.fillsLayer);
  const RgbaImage at16 = SourceLayer(s, 16);  // 8 x 16 replication
  ASSERT_EQ(at16.width, 16);
  EXPECT_EQ(PixelOf(at16, 7, 15), (std::array<int, 4>{10, 20, 30, 255}));
  EXPECT_EQ(PixelOf(at16, 8, 0), (std::array<int, 4>{10, 20, 30, 64}));
}

}  // namespace
}  // namespace pg
