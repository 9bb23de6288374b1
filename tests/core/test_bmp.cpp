#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "imaging/bmp.h"
#include "image_fixtures.h"

namespace pg {
namespace {

using namespace fixtures;

constexpr std::uint32_t kRle8 = 1, kRle4 = 2, kBitfields = 3;

// 5 x 3 keeps every row's padding non-trivial at every depth.
constexpr int kW = 5, kH = 3;

struct DepthCase {
  std::string what;
  DibHeader header;
  std::vector<Colour> palette;
  std::vector<std::uint32_t> afterHeader;
  PixelFn raw;       // what is stored
  PixelFn expected;  // what the reader must give
};

std::vector<DepthCase> DepthCases() {
  std::vector<DepthCase> cases;
  for (int bpp : {1, 4, 8}) {
    for (std::uint32_t headerSize : {12u, 40u, 108u, 124u}) {
      const int n = 1 << bpp;
      const auto pal = TestPalette(n);
      DibHeader h;
      h.size = headerSize;
      h.width = kW;
      h.height = kH;
      h.bitCount = static_cast<std::uint16_t>(bpp);
      const auto index = [n](int x, int y) { return static_cast<std::uint32_t>((x + 2 * y + 1) % n); };
      cases.push_back({std::to_string(bpp) + " bits, header " + std::to_string(headerSize), h, pal, {}, index,
                       [pal, index](int x, int y) { return pal[index(x, y)]; }});
    }
  }
  // A short table (biClrUsed) is enough while every index stays inside it.
  {
    DibHeader h{.width = kW, .height = kH, .bitCount = 8, .clrUsed = 3};
    const auto pal = TestPalette(3);
    cases.push_back({"8 bits, 3 colours", h, pal, {}, [](int x, int y) { return std::uint32_t((x + y) % 3); },
                     [pal](int x, int y) { return pal[static_cast<std::size_t>((x + y) % 3)]; }});
  }
  const auto colour24 = [](int x, int y) {
    return Rgb(static_cast<std::uint8_t>(40 * x + 1), static_cast<std::uint8_t>(70 * y + 2),
               static_cast<std::uint8_t>(200 - x - y));
  };
  const auto raw24 = [colour24](int x, int y) {
    const Colour c = colour24(x, y);
    return (std::uint32_t{RedOf(c)} << 16) | (std::uint32_t{GreenOf(c)} << 8) | BlueOf(c);
  };
  for (std::uint32_t headerSize : {12u, 40u, 124u})
    cases.push_back({"24 bits, header " + std::to_string(headerSize),
                     DibHeader{.size = headerSize, .width = kW, .height = kH, .bitCount = 24}, {}, {}, raw24,
                     colour24});
  // The fourth byte of a 32-bit BI_RGB bitmap is not part of the colour.
  cases.push_back({"32 bits", DibHeader{.width = kW, .height = kH, .bitCount = 32}, {}, {},
                   [raw24](int x, int y) { return raw24(x, y) | 0x7F000000u; }, colour24});
  // 16-bit BI_RGB is 5-5-5; a 5-bit 31 is 255, 16 is 132.
  const auto five = [](int x, int y) { return std::uint32_t((x * 7 + y * 3) % 32); };
  const auto widen5 = [](std::uint32_t v) { return static_cast<std::uint8_t>((v * 255 + 15) / 31); };
  cases.push_back({"16 bits 5-5-5", DibHeader{.width = kW, .height = kH, .bitCount = 16}, {}, {},
                   [five](int x, int y) { return (five(x, y) << 10) | (31u << 5) | five(y, x); },
                   [five, widen5](int x, int y) { return Rgb(widen5(five(x, y)), 255, widen5(five(y, x))); }});
  // 5-6-5 through masks after a 40-byte header, and inside 56-byte and V4 headers.
  const auto raw565 = [five](int x, int y) { return (five(x, y) << 11) | (63u << 5) | 16u; };
  const auto exp565 = [five, widen5](int x, int y) { return Rgb(widen5(five(x, y)), 255, 132); };
  cases.push_back({"16 bits bitfields 5-6-5",
                   DibHeader{.width = kW, .height = kH, .bitCount = 16, .compression = kBitfields}, {},
                   {0xF800, 0x07E0, 0x001F}, raw565, exp565});
  cases.push_back({"16 bits bitfields, 56-byte header",
                   DibHeader{.size = 56, .width = kW, .height = kH, .bitCount = 16, .compression = kBitfields,
                             .masks = {0xF800, 0x07E0, 0x001F, 0}},
                   {}, {}, raw565, exp565});
  // Channels in unusual places: red in the top byte.
  const auto exp32 = [colour24](int x, int y) { return colour24(x, y); };
  const auto rawShifted = [raw24](int x, int y) { return (raw24(x, y) << 8) | 0x55; };
  cases.push_back({"32 bits bitfields",
                   DibHeader{.width = kW, .height = kH, .bitCount = 32, .compression = kBitfields}, {},
                   {0xFF000000, 0x00FF0000, 0x0000FF00}, rawShifted, exp32});
  cases.push_back({"32 bits bitfields, V4 header",
                   DibHeader{.size = 108, .width = kW, .height = kH, .bitCount = 32, .compression = kBitfields,
                             .masks = {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF}},
                   {}, {}, rawShifted, exp32});
  cases.push_back({"32 bits bitfields, 52-byte header",
                   DibHeader{.size = 52, .width = kW, .height = kH, .bitCount = 32, .compression = kBitfields,
                             .masks = {0xFF000000, 0x00FF0000, 0x0000FF00, 0}},
                   {}, {}, rawShifted, exp32});
  return cases;
}

Image Expected(int w, int h, const PixelFn& colour) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.SetPixel(x, y, colour(x, y));
  return img;
}

TEST(BmpReader, ReadsEveryDepthAndHeaderAsFileAndPackedDibBothWaysUp) {
  for (const DepthCase& c : DepthCases()) {
    for (bool topDown : {false, true}) {
      if (topDown && c.header.size == 12) continue;  // core heights are unsigned
      SCOPED_TRACE(c.what + (topDown ? ", top-down" : ", bottom-up"));
      DibHeader h = c.header;
      if (topDown) h.height = -h.height;
      const ByteVec pixels = PackRows(kW, kH, h.bitCount, c.raw, topDown);
      const Image want = Expected(kW, kH, c.expected);
      auto file = ReadBmp(MakeBmpFile(h, c.palette, pixels, c.afterHeader));
      ASSERT_TRUE(file.ok()) << ErrorText(file.error());
      EXPECT_EQ(*file, want);
      auto packed = ReadPackedDib(MakeDib(h, c.palette, pixels, c.afterHeader));
      ASSERT_TRUE(packed.ok()) << ErrorText(packed.error());
      EXPECT_EQ(*packed, want);
    }
  }
}

// An RLE stream of bytes, given bottom row first as the format stores it.
struct RleCase {
  const char* what;
  std::uint32_t compression;
  int width, height;
  ByteVec stream;
  std::vector<std::vector<int>> rowsTopFirst;  // palette index, -1 = skipped (black)
};

TEST(BmpReader, DecodesRunLengthEscapes) {
  const RleCase cases[] = {
      {"RLE8 runs, literal with pad, end of line, end of bitmap", kRle8, 6, 2,
       {3, 5, 0, 3, 1, 2, 3, 0 /*pad*/, 0, 0, 6, 9, 0, 1},
       {{9, 9, 9, 9, 9, 9}, {5, 5, 5, 1, 2, 3}}},
      {"RLE8 delta skips pixels and rows", kRle8, 4, 3,
       {1, 7, 0, 2, 2, 1, 1, 8, 0, 0, 4, 6, 0, 1},
       {{6, 6, 6, 6}, {-1, -1, -1, 8}, {7, -1, -1, -1}}},
      {"RLE8 ends after the last row without end of bitmap", kRle8, 2, 1, {2, 4, 0, 0}, {{4, 4}}},
      {"RLE4 alternating nibbles and a literal of three", kRle4, 7, 2,
       {5, 0x12, 0, 0, 0, 3, 0x45, 0x60, 4, 0xAB, 0, 1},
       {{4, 5, 6, 10, 11, 10, 11}, {1, 2, 1, 2, 1, -1, -1}}},
      {"RLE4 literal of five nibbles, padded to a word", kRle4, 5, 1, {0, 5, 0x12, 0x34, 0x50, 0, 0, 1}, {{1, 2, 3, 4, 5}}},
  };
  for (const RleCase& c : cases) {
    SCOPED_TRACE(c.what);
    const int bpp = c.compression == kRle8 ? 8 : 4;
    const auto pal = TestPalette(1 << bpp);
    DibHeader h{.width = c.width, .height = c.height, .bitCount = static_cast<std::uint16_t>(bpp),
                .compression = c.compression, .sizeImage = static_cast<std::uint32_t>(c.stream.size())};
    auto img = ReadBmp(MakeBmpFile(h, pal, c.stream));
    ASSERT_TRUE(img.ok()) << ErrorText(img.error());
    Image want(c.width, c.height);
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) {
        const int i = c.rowsTopFirst[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
        want.SetPixel(x, y, i < 0 ? kBlack : pal[static_cast<std::size_t>(i)]);
      }
    EXPECT_EQ(*img, want);
  }
}

TEST(BmpReader, PixelOffsetInsideTheColourTableLeavesOnlyTheEntriesBeforeIt) {
  // An 8-bit file that claims 256 colours but stores two and starts its
  // pixels right after them, as some writers do.
  const auto pal = TestPalette(2);
  const ByteVec pixels = PackRows(2, 1, 8, [](int x, int) { return std::uint32_t(x); });
  ByteVec file = MakeBmpFile(DibHeader{.width = 2, .height = 1, .bitCount = 8}, pal, pixels);
  auto img = ReadBmp(file);
  ASSERT_TRUE(img.ok()) << ErrorText(img.error());
  EXPECT_EQ(img->GetPixel(0, 0), pal[0]);
  EXPECT_EQ(img->GetPixel(1, 0), pal[1]);
  // An index past the stored entries is refused.
  file[file.size() - 4] = 2;
  EXPECT_EQ(ReadBmp(file).error(), Error::kBadPaletteIndex);
}

TEST(BmpWriter, WritesA24BitBottomUpFileThatReadsBack) {
  Image img(3, 2);
  img.SetPixel(0, 0, Rgb(1, 2, 3));
  img.SetPixel(2, 0, kWhite);
  img.SetPixel(1, 1, kKeyColour);
  const ByteVec file = WriteBmp24(img);
  const ByteVec bottomRow = {0, 0, 0, 0x80, 0x60, 0x40, 0, 0, 0, 0, 0, 0};
  const ByteVec topRow = {3, 2, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0};
  ASSERT_EQ(file.size(), 14u + 40u + 24u);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[10], 54);  // bfOffBits
  EXPECT_EQ(file[14], 40);  // biSize
  EXPECT_EQ(file[28], 24);  // biBitCount
  EXPECT_EQ(ByteVec(file.begin() + 54, file.begin() + 66), bottomRow);
  EXPECT_EQ(ByteVec(file.begin() + 66, file.end()), topRow);
  auto back = ReadBmp(file);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(*back, img);
}

// Every class of damage a bitmap reader has been known to trip over, each
// with the error it must give.
TEST(BmpReader, RefusesDamagedFiles) {
  const auto pal256 = TestPalette(256);
  const auto pal2 = TestPalette(2);
  const DibHeader h8{.width = 4, .height = 2, .bitCount = 8};
  const ByteVec px8 = PackRows(4, 2, 8, [](int x, int) { return std::uint32_t(x); });
  const ByteVec good = MakeBmpFile(h8, pal256, px8);
  const auto with = [](DibHeader h, auto change) { change(h); return h; };
  const auto file8 = [&](auto change) { return MakeBmpFile(with(h8, change), pal256, px8); };
  const auto rle8 = [&](int w, int hgt, ByteVec stream) {
    return MakeBmpFile(DibHeader{.width = w, .height = hgt, .bitCount = 8, .compression = kRle8}, pal256, stream);
  };
  const auto rle4 = [&](int w, int hgt, ByteVec stream) {
    return MakeBmpFile(DibHeader{.width = w, .height = hgt, .bitCount = 4, .compression = kRle4},
                       TestPalette(16), stream);
  };
  ByteVec offsetPastEnd = good;
  PokeU32(offsetPastEnd, 10, static_cast<std::uint32_t>(good.size() + 1));
  ByteVec offsetInHeader = good;
  PokeU32(offsetInHeader, 10, 20);
  ByteVec bigOffset = good;
  PokeU32(bigOffset, 10, 0xFFFFFFF0u);

  struct Case {
    const char* what;
    ByteVec bytes;
    Error want;
  };
  const Case cases[] = {
      {"empty", {}, Error::kBadSignature},
      {"no BM signature", ByteVec{'B', 'A', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0}, Error::kBadSignature},
      {"file header cut short", ByteVec(good.begin(), good.begin() + 12), Error::kTruncated},
      {"info header cut short", ByteVec(good.begin(), good.begin() + 30), Error::kTruncated},
      {"header size 0", file8([](DibHeader& h) { h.size = 0; }), Error::kBadHeader},
      {"header size 41", file8([](DibHeader& h) { h.size = 41; }), Error::kBadHeader},
      {"OS/2 2.x header", file8([](DibHeader& h) { h.size = 64; }), Error::kUnsupported},
      {"bit count 0", file8([](DibHeader& h) { h.bitCount = 0; }), Error::kBadHeader},
      {"bit count 2", file8([](DibHeader& h) { h.bitCount = 2; }), Error::kBadHeader},
      {"bit count 65535", file8([](DibHeader& h) { h.bitCount = 65535; }), Error::kBadHeader},
      {"RLE8 claiming 16 bits", file8([](DibHeader& h) { h.bitCount = 16; h.compression = kRle8; }),
       Error::kBadHeader},
      {"bitfields with 8 bits", file8([](DibHeader& h) { h.compression = kBitfields; }), Error::kBadHeader},
      {"unknown compression", file8([](DibHeader& h) { h.compression = 7; }), Error::kBadHeader},
      {"JPEG compression", file8([](DibHeader& h) { h.compression = 4; }), Error::kUnsupported},
      {"planes 0", file8([](DibHeader& h) { h.planes = 0; }), Error::kBadHeader},
      {"planes 2", file8([](DibHeader& h) { h.planes = 2; }), Error::kBadHeader},
      {"width 0", file8([](DibHeader& h) { h.width = 0; }), Error::kBadImageSize},
      {"negative width", file8([](DibHeader& h) { h.width = -4; }), Error::kBadImageSize},
      {"height 0", file8([](DibHeader& h) { h.height = 0; }), Error::kBadImageSize},
      {"height INT_MIN", file8([](DibHeader& h) { h.height = INT_MIN; }), Error::kBadImageSize},
      {"width above the limit", file8([](DibHeader& h) { h.width = kMaxImageDimension + 1; }),
       Error::kImageTooLarge},
      {"stride overflowing 32 bits",
       file8([](DibHeader& h) { h.width = 0x7FFFFFFF; h.bitCount = 32; }), Error::kImageTooLarge},
      {"really big", file8([](DibHeader& h) { h.width = 10000; h.height = -10000; }), Error::kImageTooLarge},
      {"biClrUsed 0x40000000", file8([](DibHeader& h) { h.clrUsed = 0x40000000; }), Error::kBadPalette},
      {"biClrUsed above 2^bits", file8([](DibHeader& h) { h.clrUsed = 257; }), Error::kBadPalette},
      {"biClrUsed huge at 24 bits",
       MakeBmpFile(DibHeader{.width = 1, .height = 1, .bitCount = 24, .clrUsed = 0x40000000}, {}, ByteVec(4, 0)),
       Error::kBadPalette},
      {"file ends inside the colour table", ByteVec(good.begin(), good.begin() + 14 + 40 + 500),
       Error::kTruncated},
      {"pixels start before any colour",
       [&] {
         ByteVec f = good;
         PokeU32(f, 10, 14 + 40 + 3);
         return f;
       }(),
       Error::kBadPalette},
      {"palette index beyond the palette",
       MakeBmpFile(with(h8, [](DibHeader& h) { h.clrUsed = 2; }), pal2, px8), Error::kBadPaletteIndex},
      {"pixel rows cut short though biSizeImage claims them",
       [&] {
         ByteVec f = MakeBmpFile(with(h8, [](DibHeader& h) { h.sizeImage = 8; }), pal256, px8);
         f.resize(f.size() - 1);
         return f;
       }(),
       Error::kTruncated},
      {"pixel offset past the end", offsetPastEnd, Error::kTruncated},
      {"pixel offset far past the end", bigOffset, Error::kTruncated},
      {"pixel offset inside the header", offsetInHeader, Error::kBadHeader},
      {"overlapping bitfield masks",
       MakeBmpFile(DibHeader{.width = 1, .height = 1, .bitCount = 16, .compression = kBitfields}, {},
                   ByteVec(4, 0), {0xF800, 0x0FE0, 0x001F}),
       Error::kBadHeader},
      {"bitfield mask wider than the pixel",
       MakeBmpFile(DibHeader{.width = 1, .height = 1, .bitCount = 16, .compression = kBitfields}, {},
                   ByteVec(4, 0), {0x1F0000, 0x07E0, 0x001F}),
       Error::kBadHeader},
      {"bitfield masks missing",
       MakeBmpFile(DibHeader{.width = 1, .height = 1, .bitCount = 16, .compression = kBitfields}, {}, {}),
       Error::kTruncated},
      {"RLE with a top-down height",
       MakeBmpFile(DibHeader{.width = 2, .height = -1, .bitCount = 8, .compression = kRle8}, pal256,
                   ByteVec{2, 0, 0, 1}),
       Error::kBadHeader},
      {"RLE8 run past the end of the row", rle8(4, 1, {5, 1, 0, 1}), Error::kBadCompression},
      {"RLE8 literal past the end of the row", rle8(2, 1, {0, 3, 1, 1, 1, 0, 0, 1}), Error::kBadCompression},
      {"RLE8 delta past the row", rle8(4, 2, {0, 2, 5, 0, 0, 1}), Error::kBadCompression},
      {"RLE8 delta past the image", rle8(4, 2, {0, 2, 0, 3, 0, 1}), Error::kBadCompression},
      {"RLE8 rows past the image", rle8(1, 1, {1, 1, 0, 0, 1, 1, 0, 1}), Error::kBadCompression},
      {"RLE8 end of line after the last row", rle8(1, 1, {1, 1, 0, 0, 0, 0, 0, 1}), Error::kBadCompression},
      {"RLE8 index beyond the palette",
       MakeBmpFile(DibHeader{.width = 2, .height = 1, .bitCount = 8, .compression = kRle8, .clrUsed = 2}, pal2,
                   ByteVec{2, 7, 0, 1}),
       Error::kBadPaletteIndex},
      {"RLE8 stream ends mid-image", rle8(4, 2, {4, 1, 0, 0}), Error::kTruncated},
      {"RLE8 literal cut short", rle8(4, 1, {0, 4, 1, 2}), Error::kTruncated},
      {"RLE8 delta cut short", rle8(4, 1, {0, 2, 1}), Error::kTruncated},
      {"RLE4 odd run past the row", rle4(4, 1, {5, 0x12, 0, 1}), Error::kBadCompression},
      {"RLE4 odd literal past the row", rle4(4, 1, {0, 5, 0x12, 0x34, 0x50, 0, 0, 1}), Error::kBadCompression},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ReadBmp(c.bytes).error(), c.want);
    if (c.bytes.size() > 14)  // the same damage in a packed DIB, where it applies
      (void)ReadPackedDib(Bytes(c.bytes).subspan(14));
  }
  EXPECT_TRUE(ReadBmp(good).ok());
  // A packed DIB has no pixel offset: its colour table must fit the data.
  EXPECT_EQ(ReadPackedDib(MakeDib(h8, pal2, {})).error(), Error::kBadPalette);
  EXPECT_EQ(ReadPackedDib(MakeDib(h8, pal256, ByteVec(px8.begin(), px8.end() - 1))).error(), Error::kTruncated);
}

}  // namespace
}  // namespace pg
