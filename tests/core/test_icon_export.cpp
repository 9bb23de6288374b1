#include <gtest/gtest.h>

#include <cstring>

#include "imaging/icon_writer.h"
#include "imaging/keysplit.h"
#include "imaging/palette.h"

namespace pg {
namespace {

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}

// An image with `count` distinct colours that are none of the static ones.
Image ManyColours(int count) {
  Image img(32, 32, Rgb(1, 1, 1));
  for (int i = 0; i < count; ++i) img.SetPixel(i % 32, i / 32, Rgb(1, uint8_t(i), uint8_t(i >> 8 | 0x40)));
  return img;
}

TEST(SplitKeyColour, KeyPixelsBecomeTransparentAndAllOthersOpaque) {
  Image composite(32, 32, kKeyColour);
  composite.SetPixel(1, 0, Rgb(64, 96, 129));  // one bit off the key
  composite.SetPixel(2, 0, kBlack);
  const Icon split = SplitKeyColour(composite);
  EXPECT_EQ(split.mask.GetPixel(0, 0), kWhite);
  EXPECT_EQ(split.colour.GetPixel(0, 0), kBlack);
  EXPECT_EQ(split.mask.GetPixel(1, 0), kBlack);
  EXPECT_EQ(split.colour.GetPixel(1, 0), Rgb(64, 96, 129));
  EXPECT_EQ(split.mask.GetPixel(2, 0), kBlack);
  EXPECT_EQ(split.colour.GetPixel(2, 0), kBlack);
  EXPECT_EQ(SplitKeyColour(composite), split);
}

TEST(BuildIconPalette, AppendsNewColoursInScanOrderAfterTheStaticOnes) {
  Image img(32, 32, kBlack);
  img.SetPixel(5, 0, kWhite);          // white is appended although 255 is white
  img.SetPixel(6, 0, Rgb(128, 0, 0));  // static entry 1: not appended
  img.SetPixel(0, 1, Rgb(9, 8, 7));
  img.SetPixel(31, 0, Rgb(9, 8, 7));   // met first in row 0
  img.SetPixel(1, 1, Rgb(3, 3, 3));
  PaletteTable table;
  EXPECT_EQ(table.BuildIconPalette(img), 13);
  EXPECT_EQ(table.PaletteColour(10), kWhite);
  EXPECT_EQ(table.PaletteColour(11), Rgb(9, 8, 7));
  EXPECT_EQ(table.PaletteColour(12), Rgb(3, 3, 3));
  EXPECT_EQ(table.PaletteColour(9), Rgb(166, 202, 240));
  EXPECT_EQ(table.PaletteColour(246), Rgb(255, 251, 240));
  EXPECT_EQ(table.PaletteColour(255), kWhite);
  EXPECT_EQ(table.BuildIconPalette(Image(32, 32, kBlack)), 10);
}

TEST(BuildIconPalette, HoldsExactly236ExtraColoursAndRefusesThe237th) {
  PaletteTable table;
  EXPECT_EQ(table.BuildIconPalette(ManyColours(235)), 246);  // 235 + Rgb(1,1,1)
  EXPECT_EQ(table.BuildIconPalette(ManyColours(236)), kPaletteOverflow);
}

TEST(BuildIconPalette, KeepsAnEarlierLargerBuildsColoursBeyondTheNewCount) {
  PaletteTable table;
  ASSERT_EQ(table.BuildIconPalette(ManyColours(100)), 111);
  const Colour leftover = table.PaletteColour(50);
  ASSERT_EQ(table.BuildIconPalette(Image(32, 32, Rgb(7, 7, 7))), 11);
  EXPECT_EQ(table.PaletteColour(50), leftover);
  const auto quads = table.PaletteAsRgbQuads();
  EXPECT_EQ(quads[4 * 50 + 2], RedOf(leftover));
}

TEST(PaletteAsRgbQuads, StoresBlueGreenRedZero) {
  PaletteTable table;
  table.BuildIconPalette(Image(32, 32, Rgb(1, 2, 3)));
  const auto quads = table.PaletteAsRgbQuads();
  EXPECT_EQ((std::array<uint8_t, 4>{quads[40], quads[41], quads[42], quads[43]}),
            (std::array<uint8_t, 4>{3, 2, 1, 0}));
}

TEST(WriteIconFile, AllKeyCompositeGivesTheExactBytesOfBothDepths) {
  const Icon split = SplitKeyColour(Image(32, 32, kKeyColour));
  PaletteTable table;
  const auto eight = WriteIconFile(split, 8, table);
  ASSERT_EQ(eight.bitsPerPixel, 8);
  ASSERT_EQ(eight.bytes.size(), 2238u);
  const std::uint8_t head8[] = {0, 0, 1, 0, 1, 0, 32, 32, 0, 0, 0, 0, 0, 0,
                                0xA8, 0x08, 0, 0, 22, 0, 0, 0, 40, 0, 0, 0, 32, 0, 0, 0,
                                64, 0, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0, 0x80, 0x04, 0, 0};
  EXPECT_EQ(std::memcmp(eight.bytes.data(), head8, sizeof head8), 0);
  EXPECT_EQ(U32At(eight.bytes, 54), 256u);
  EXPECT_EQ(U32At(eight.bytes, 58), 0u);
  // Colour table: static entries in place.
  EXPECT_EQ(eight.bytes[62 + 4 * 1 + 2], 128);   // dark red
  EXPECT_EQ(eight.bytes[62 + 4 * 249 + 2], 255); // red
  for (std::size_t i = 1086; i < 2110; ++i) ASSERT_EQ(eight.bytes[i], 0) << i;
  for (std::size_t i = 2110; i < 2238; ++i) ASSERT_EQ(eight.bytes[i], 0xFF) << i;

  const auto full = WriteIconFile(split, 24, table);
  ASSERT_EQ(full.bitsPerPixel, 24);
  ASSERT_EQ(full.bytes.size(), 3262u);
  EXPECT_EQ(U32At(full.bytes, 14), 3240u);
  EXPECT_EQ(full.bytes[36], 24);
  EXPECT_EQ(U32At(full.bytes, 42), 3200u);
  EXPECT_EQ(U32At(full.bytes, 54), 0u);
  for (std::size_t i = 62; i < 3134; ++i) ASSERT_EQ(full.bytes[i], 0) << i;
  for (std::size_t i = 3134; i < 3262; ++i) ASSERT_EQ(full.bytes[i], 0xFF) << i;
}

TEST(WriteIconFile, RowsAreStoredBottomUpWithTheMaskMsbFirst) {
  Image composite(32, 32, kKeyColour);
  composite.SetPixel(0, 0, Rgb(255, 0, 0));
  composite.SetPixel(9, 31, Rgb(0, 255, 0));
  PaletteTable table;
  const auto full = WriteIconFile(SplitKeyColour(composite), 24, table);
  const std::size_t lastRow = 62 + 31 * 96;
  EXPECT_EQ(full.bytes[lastRow + 0], 0);
  EXPECT_EQ(full.bytes[lastRow + 1], 0);
  EXPECT_EQ(full.bytes[lastRow + 2], 255);
  EXPECT_EQ(full.bytes[62 + 9 * 3 + 1], 255);      // (9, 31) is in the first row
  EXPECT_EQ(full.bytes[3134 + 31 * 4], 0x7F);       // (0, 0) opaque
  EXPECT_EQ(full.bytes[3134 + 1], 0xBF);            // (9, 31) opaque: bit 0x40 of byte 1

  const auto eight = WriteIconFile(SplitKeyColour(composite), 8, table);
  ASSERT_EQ(eight.bitsPerPixel, 8);
  EXPECT_EQ(eight.bytes[1086 + 31 * 32], 10);       // red is the first new colour
  EXPECT_EQ(eight.bytes[1086 + 9], 11);
  EXPECT_EQ(eight.bytes[62 + 4 * 10 + 2], 255);
}

TEST(WriteIconFile, EightBitFallsBackToTwentyFourWhenThePaletteOverflows) {
  Image composite = ManyColours(236);
  PaletteTable table;
  std::vector<int> progress;
  const auto file = WriteIconFile(SplitKeyColour(composite), 8, table,
                                  [&](int p) { progress.push_back(p); });
  EXPECT_EQ(file.bitsPerPixel, 24);
  EXPECT_EQ(file.bytes.size(), 3262u);
  EXPECT_EQ(progress, (std::vector<int>{0, 25, 50, 100}));
  progress.clear();
  (void)WriteIconFile(SplitKeyColour(Image(32, 32, kKeyColour)), 8, table,
                      [&](int p) { progress.push_back(p); });
  EXPECT_EQ(progress, (std::vector<int>{0, 25, 40, 60, 80, 100}));
}

}  // namespace
}  // namespace pg
