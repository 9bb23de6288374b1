// Small files that claim huge pictures or huge directories: each is refused
// with a message or read within the readers' bounds, and the listing and the
// extraction reach one verdict on every icon.
#include <gtest/gtest.h>

#include "imaging/bmp.h"
#include "hostile_fixtures.h"
#include "imaging/ico_reader.h"
#include "imaging/icon_source.h"
#include "imaging/packed_bitmap.h"

namespace pg {
namespace {

using pgtest::Buf;

Bytes View(const Buf& b) { return Bytes(b.data(), b.size()); }

// Every icon: what the listing says of it is what extracting it gives, and
// the check from the headers reaches the verdict the decoding reaches.
void ExpectOneVerdict(const IconSource& s, const char* what) {
  for (int i = 0; i < s.Count(); ++i) {
    const Error listed = s.Info(i).status;
    const Error checked = s.Check(i);
    Error extracted = Error::kOk;
    for (int size : {kCellSize, kSmallSize}) {
      const auto icon = s.Extract(i, size);
      if (listed != Error::kOk) {
        EXPECT_EQ(icon.error(), listed) << what << " icon " << i;
      }
      if (extracted == Error::kOk) extracted = icon.error();
    }
    EXPECT_EQ(checked, extracted) << what << " icon " << i;
  }
}

TEST(HostileInput, AGroupNamingOneHugeImageManyTimesDecodesItOnceOrRefusesIt) {
  const Buf fits = pgtest::ZeroPng(2048, 2048), tooLarge = pgtest::ZeroPng(4096, 4096);
  for (bool ne : {false, true}) {
    SCOPED_TRACE(ne ? "NE" : "PE");
    const auto bomb = [ne](const Buf& image, int groups, int entries) {
      return ne ? pgtest::GroupBombNe(image, groups, entries) : pgtest::GroupBombPe(image, groups, entries);
    };
    // 200 entries of one 2048 x 2048 image: the budget of the whole file
    // holds 4 such decodes, so both icons come from one decode each.
    auto src = OpenIconSource(View(bomb(fits, 1, 200)));
    ASSERT_TRUE(src.ok()) << ErrorText(src.error());
    auto large = (*src)->Extract(0, kCellSize), small = (*src)->Extract(0, kSmallSize);
    ASSERT_TRUE(large.ok() && small.ok()) << ErrorText(large.error()) << ", " << ErrorText(small.error());
    EXPECT_EQ(large->Width(), 32);
    EXPECT_EQ(large->mask.GetPixel(5, 5), kWhite);  // transparent black everywhere

    // A picture beyond the size limit is refused with that reason, by the
    // listing and the extraction alike.
    src = OpenIconSource(View(bomb(tooLarge, 1, 200)));
    ASSERT_TRUE(src.ok()) << ErrorText(src.error());
    EXPECT_EQ((*src)->Info(0).status, Error::kImageTooLarge);
    EXPECT_EQ((*src)->Extract(0).error(), Error::kImageTooLarge);

    // Three groups, each needing the large picture for both icon sizes:
    // more than one file may decode, refused when it is opened.
    EXPECT_EQ(OpenIconSource(View(bomb(fits, 3, 1))).error(), Error::kTooMuchImageData);
    EXPECT_TRUE(OpenIconSource(View(bomb(fits, 2, 1))).ok());
  }
}

TEST(HostileInput, APngStreamIsInflatedOnlyToTheSizeItsHeaderNeeds) {
  const Buf exact = pgtest::Png(1, 1, pgtest::ZerosZlib(5));
  const Buf bomb = pgtest::Png(1, 1, pgtest::ZerosZlib(64u << 20));  // 64 MiB for one pixel
  const Buf shortStream = pgtest::Png(2, 2, pgtest::ZerosZlib(9));
  ASSERT_TRUE(DecodeIconImage(View(exact)).ok());
  EXPECT_EQ(DecodeIconImage(View(bomb)).error(), Error::kBadPng);
  EXPECT_EQ(ReadIcoFile(View(pgtest::SingleImageIco(bomb, 1, 1))).error(), Error::kBadPng);
  EXPECT_EQ(DecodeIconImage(View(shortStream)).error(), Error::kBadPng);
  // Interlaced 5 x 3: the seven passes have 1x1, 1x1, none, 1x1, 3x1, 2x2
  // and 5x1 pixels, each row with its filter byte: 67 bytes.
  const Buf interlaced = [] {
    Buf p = pgtest::Png(5, 3, pgtest::ZerosZlib(5 + 5 + 5 + 13 + 18 + 21), 6);
    p[28] = 1;  // interlace method: Adam7 (the IHDR CRC is not checked)
    return p;
  }();
  EXPECT_TRUE(DecodeIconImage(View(interlaced)).ok());
}

TEST(HostileInput, AResourceTreeOfAQuarterMillionDirectoriesIsWalkedInLinearTime) {
  // Before, each directory was looked up in a list of all the earlier ones:
  // seconds for this file of 2.4 MB. Every name has an empty language
  // directory, so the library holds no icon.
  const Buf pe = pgtest::ManyDirectoriesPe(131070);
  auto src = OpenIconSource(View(pe));
  ASSERT_TRUE(src.ok()) << ErrorText(src.error());
  EXPECT_EQ((*src)->Count(), 0);
}

TEST(HostileInput, RunLengthBitmapsClaimingHugePicturesAreBoundedOrRefused) {
  EXPECT_EQ(ReadBmp(View(pgtest::RleBomb(16384, 2048))).error(), Error::kImageTooLarge);
  // The largest picture allowed: scaled to an icon a row at a time.
  auto src = OpenIconSource(View(pgtest::RleBomb(16384, 1024)));
  ASSERT_TRUE(src.ok()) << ErrorText(src.error());
  auto icon = (*src)->Extract(0, kCellSize);
  ASSERT_TRUE(icon.ok());
  EXPECT_EQ(icon->colour.GetPixel(0, 0), kBlack);  // pixels the run-length data skips

  // A .pac holds a 16 x 16 picture: one of 257 pixels a side is refused.
  const Buf mask = pgtest::BmpFile(16, 16, 24, std::vector<std::uint32_t>(256, 0));
  EXPECT_EQ(ConvertPackedBitmap(View(pgtest::PacFile(pgtest::RleBomb(16384, 2048), mask))).error(),
            Error::kImageTooLarge);
  EXPECT_EQ(ConvertPackedBitmap(View(pgtest::PacFile(pgtest::RleBomb(257, 16), mask))).error(),
            Error::kImageTooLarge);
  EXPECT_TRUE(ConvertPackedBitmap(View(pgtest::PacFile(pgtest::RleBomb(256, 256), mask))).ok());
}

TEST(HostileInput, ListingAndExtractionReachOneVerdictOnEveryIcon) {
  const Buf good = pgtest::IconDib(32, 32, 8, 0x112233);
  const Buf emptyGroup = pgtest::GroupDir({}, {});
  const Buf pastTheEnd = pgtest::GroupDir({{32, 32, 8, 0}}, {9});
  {
    const Buf pe = pgtest::BuildPe({{3, 1, u"", good}, {14, 1, u"", emptyGroup},
                                    {14, 2, u"", pgtest::GroupDir({{32, 32, 8, 0}}, {1})},
                                    {14, 3, u"", pastTheEnd}},
                                   true)
                       .bytes;
    auto src = OpenIconSource(View(pe));
    ASSERT_TRUE(src.ok());
    EXPECT_EQ((*src)->Info(0).status, Error::kNoImages);
    EXPECT_EQ((*src)->Info(1).status, Error::kOk);
    EXPECT_EQ((*src)->Info(2).status, Error::kMissingResource);
    ExpectOneVerdict(**src, "PE");
  }
  {
    // An NE icon whose data starts past the end of the file.
    auto ne = pgtest::BuildNe({{3, 1, "", good}, {3, 2, "", good}, {14, 1, "", pgtest::GroupDir({{32, 32, 8, 0}}, {1})},
                               {14, 2, "", pgtest::GroupDir({{32, 32, 8, 0}}, {2})}});
    pgtest::Put16(ne.bytes, ne.nameInfos[1], 0xFFF0);
    auto src = OpenIconSource(View(ne.bytes));
    ASSERT_TRUE(src.ok()) << ErrorText(src.error());
    EXPECT_EQ((*src)->Info(0).status, Error::kOk);
    EXPECT_EQ((*src)->Info(1).status, Error::kTruncated);
    ExpectOneVerdict(**src, "NE");
  }
  {
    // Pixels a header cannot vouch for: a colour table of one entry for
    // pixels that name the second, a 32-bit image without alpha or mask, a
    // PNG whose stream is cut short. Alone in a group each is damaged;
    // beside a sound image the group falls back on it.
    Buf shortTable = pgtest::IconDib(32, 32, 8, 0x112233);
    pgtest::Put32(shortTable, 32, 1);
    Buf noMask = pgtest::IconDib(32, 32, 32, 0x112233);
    noMask.resize(40 + 32 * 32 * 4);
    for (std::size_t i = 40 + 3; i < noMask.size(); i += 4) noMask[i] = 0;
    Buf cutPng = pgtest::ZeroPng(32, 32);
    cutPng.erase(cutPng.begin() + 45, cutPng.begin() + 60);
    const Buf small = pgtest::IconDib(16, 16, 24, 0x445566);
    const auto one = [](std::uint16_t id) { return pgtest::GroupDir({{32, 32, 8, 0}}, {id}); };
    const Buf pe = pgtest::BuildPe({{3, 1, u"", shortTable}, {3, 2, u"", noMask}, {3, 3, u"", cutPng},
                                    {3, 4, u"", small}, {14, 1, u"", one(1)}, {14, 2, u"", one(2)},
                                    {14, 3, u"", one(3)},
                                    {14, 4, u"", pgtest::GroupDir({{32, 32, 8, 0}, {16, 16, 24, 0}}, {1, 4})},
                                    {14, 5, u"", pgtest::GroupDir({{32, 32, 8, 0}, {16, 16, 24, 0}}, {3, 4})}},
                                   true)
                       .bytes;
    auto src = OpenIconSource(View(pe));
    ASSERT_TRUE(src.ok()) << ErrorText(src.error());
    EXPECT_EQ((*src)->Check(0), Error::kBadPaletteIndex);
    EXPECT_EQ((*src)->Check(1), Error::kTruncated);
    EXPECT_NE((*src)->Check(2), Error::kOk);
    EXPECT_EQ((*src)->Check(3), Error::kOk);
    EXPECT_EQ((*src)->Check(4), Error::kOk);
    ExpectOneVerdict(**src, "pixels");
  }
  // An icon file (type 1) cut inside its directory is damaged, not "no
  // icons": its one icon is listed as damaged.
  Buf ico = pgtest::IcoFile({{16, 16, 8, 0x010203}, {32, 32, 8, 0x010203}});
  ico.resize(6 + 16 + 5);
  for (const auto& [bytes, want] : {std::pair{ico, Error::kTruncated}, std::pair{Buf{0, 0, 1, 0, 0, 0}, Error::kNoImages}}) {
    auto src = OpenIconSource(View(bytes));
    ASSERT_TRUE(src.ok());
    EXPECT_EQ((*src)->Check(0), want);
    ExpectOneVerdict(**src, "damaged icon file");
  }
}

}  // namespace
}  // namespace pg
