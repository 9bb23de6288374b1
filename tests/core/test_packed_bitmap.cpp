#include <gtest/gtest.h>

#include <functional>

#include "imaging/bmp.h"
#include "imaging/colour.h"
#include "exe_fixtures.h"
#include "imaging/packed_bitmap.h"

namespace pg {
namespace {

using pgtest::Buf;

Bytes View(const Buf& b) { return Bytes(b.data(), b.size()); }

std::vector<std::uint32_t> Gradient(int w, int h) {
  std::vector<std::uint32_t> px;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px.push_back(Rgb(static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 5), 33));
  return px;
}

// A 1-bit mask whose pixels are white where `white(x, y)`.
Buf Mask1(int w, int h, const std::function<bool(int, int)>& white) {
  std::vector<std::uint32_t> px;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px.push_back(white(x, y) ? 1 : 0);
  return pgtest::BmpFile(w, h, 1, px, {kBlack, kWhite});
}

Image Decode(const Result<std::vector<std::uint8_t>>& bmp) {
  EXPECT_TRUE(bmp.ok()) << ErrorText(bmp.error());
  if (!bmp.ok()) return {};
  // Always written back as 24 bits.
  EXPECT_EQ((*bmp)[28], 24);
  auto image = ReadBmp(*bmp);
  EXPECT_TRUE(image.ok());
  return image.ok() ? *image : Image{};
}

TEST(PackedBitmap, WhiteMaskPixelsBecomeTheKeyColour) {
  const auto colourPx = Gradient(16, 16);
  const Buf colour = pgtest::BmpFile(16, 16, 24, colourPx);
  const Image out = Decode(ConvertPackedBitmap(View(pgtest::PacFile(colour, Mask1(16, 16, [](int x, int) { return x < 8; })))));
  ASSERT_EQ(out.Width(), 16);
  ASSERT_EQ(out.Height(), 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      EXPECT_EQ(out.GetPixel(x, y), x < 8 ? kKeyColour : colourPx[y * 16 + x]) << x << "," << y;
}

TEST(PackedBitmap, OnlyTheTopLeft16x16OfALargerImageCanChangeAndNearWhiteIsOpaque) {
  const auto colourPx = Gradient(32, 32);
  std::vector<std::uint32_t> maskPx(32 * 32, kWhite);
  maskPx[5 * 32 + 5] = 0x00FEFFFF;
  const Image out = Decode(ConvertPackedBitmap(
      View(pgtest::PacFile(pgtest::BmpFile(32, 32, 24, colourPx), pgtest::BmpFile(32, 32, 24, maskPx)))));
  ASSERT_EQ(out.Width(), 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const bool keyed = x < 16 && y < 16 && !(x == 5 && y == 5);
      EXPECT_EQ(out.GetPixel(x, y), keyed ? kKeyColour : colourPx[y * 32 + x]) << x << "," << y;
    }
}

TEST(PackedBitmap, KeyColourIsExactEvenWhenTheColourTableLacksIt) {
  // Neither table colour is anywhere near the key colour.
  const Buf colour = pgtest::BmpFile(16, 16, 8, std::vector<std::uint32_t>(256, 1), {kBlack, Rgb(250, 10, 10)});
  const Image out = Decode(ConvertPackedBitmap(View(pgtest::PacFile(colour, Mask1(16, 16, [](int x, int y) { return x == y; })))));
  ASSERT_EQ(out.Width(), 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      EXPECT_EQ(out.GetPixel(x, y), x == y ? kKeyColour : Rgb(250, 10, 10));
}

TEST(PackedBitmap, LeadingBlockTrailingDataAndASmallMaskDoNotMatter) {
  const Buf colour = pgtest::BmpFile(16, 16, 24, Gradient(16, 16));
  const Buf mask = Mask1(16, 16, [](int x, int y) { return (x + y) % 3 == 0; });
  const auto a = ConvertPackedBitmap(View(pgtest::PacFile(colour, mask, 0x00)));
  const auto b = ConvertPackedBitmap(View(pgtest::PacFile(colour, mask, 0xAB, Buf(100, 0xFF))));
  ASSERT_TRUE(a.ok() && b.ok());
  EXPECT_EQ(*a, *b);
  // An 8 x 8 mask: positions outside it read as invalid, never as white.
  const Image out = Decode(ConvertPackedBitmap(View(pgtest::PacFile(colour, Mask1(8, 8, [](int, int) { return true; })))));
  EXPECT_EQ(out.GetPixel(7, 7), kKeyColour);
  EXPECT_NE(out.GetPixel(8, 8), kKeyColour);
}

TEST(PackedBitmap, RefusesBadSizeFieldsAndSignatures) {
  const Buf colour = pgtest::BmpFile(16, 16, 24, Gradient(16, 16));
  const Buf mask = Mask1(16, 16, [](int, int) { return false; });
  const std::size_t maskAt = 904 + colour.size();
  struct Case {
    const char* what;
    std::function<void(Buf&)> apply;
    Error expected;
  };
  const Case cases[] = {
      {"colour size below 14", [](Buf& p) { pgtest::Put32(p, 906, 13); }, Error::kBadHeader},
      {"colour size above 4096", [](Buf& p) { pgtest::Put32(p, 906, 4097); }, Error::kBadHeader},
      {"colour size of 0xFFFFFFFF", [](Buf& p) { pgtest::Put32(p, 906, 0xFFFFFFFFu); }, Error::kBadHeader},
      {"mask size below 14", [=](Buf& p) { pgtest::Put32(p, maskAt + 2, 0); }, Error::kBadHeader},
      {"mask reaching past the end", [=](Buf& p) { p.resize(p.size() - 1); }, Error::kTruncated},
      {"colour reaching past the end", [](Buf& p) { p.resize(904 + 100); }, Error::kTruncated},
      {"file ends inside the 904-byte block", [](Buf& p) { p.resize(500); }, Error::kTruncated},
      {"colour image without BM", [](Buf& p) { p[904] = 'X'; }, Error::kBadSignature},
      {"mask image without BM", [=](Buf& p) { p[maskAt + 1] = 'X'; }, Error::kBadSignature},
  };
  for (const Case& c : cases) {
    Buf pac = pgtest::PacFile(colour, mask);
    c.apply(pac);
    EXPECT_EQ(ConvertPackedBitmap(View(pac)).error(), c.expected) << c.what;
  }
}

}  // namespace
}  // namespace pg
