#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <functional>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "exe_fixtures.h"
#include "image_fixtures.h"
#include "imaging/layers.h"
#include "imaging/pe_resources.h"
#include "platform/file_io.h"
#include "imaging/icon_source.h"

namespace pg {
namespace {

using pgtest::Buf;

Bytes View(const Buf& b) { return Bytes(b.data(), b.size()); }

// The build writes the fixtures to a Linux path; Wine resolves such a path
// with forward slashes as it stands, whatever the current drive.
std::filesystem::path Fixture(const char* name) {
  return std::filesystem::path(PG_FIXTURE_DIR) / name;
}

Buf FixtureBytes(const char* name) {
  auto bytes = ReadFileBytes(Fixture(name));
  EXPECT_TRUE(bytes.ok()) << Fixture(name) << " (made by the pg_fixtures target)";
  return bytes.ok() ? *bytes : Buf{};
}

// The four groups of icons.rc, in the order a sorted directory gives.
std::vector<pgtest::GroupSpec> FourGroups() {
  return {{0, u"ALPHA", pgtest::FixtureAlpha()},
          {0, u"ZETA", pgtest::FixtureZeta()},
          {7, u"", pgtest::FixtureSeven()},
          {300, u"", pgtest::Fixture300()}};
}

struct Expect {
  int size;       // of the large icon
  Colour large;   // colour of the large icon's centre pixel
  Colour small;   // the same for the 16 x 16 icon
};

// ALPHA: the 32x32 with most colours; small: its 16x16.
// ZETA: only 48x48, scaled down for both.  7: only 16x16, kept at its own
// size for the large icon.  300: only 32x32, scaled down for the small one.
const Expect kFourGroups[] = {{32, pgtest::kFixA32x8, pgtest::kFixA16},
                              {32, pgtest::kFixB48, pgtest::kFixB48},
                              {16, pgtest::kFixC16, pgtest::kFixC16},
                              {32, pgtest::kFixD32, pgtest::kFixD32}};

void ExpectFourGroups(const IconSource& src, const char* what) {
  ASSERT_EQ(src.Count(), 4) << what;
  EXPECT_EQ(src.Info(0).name, u"ALPHA") << what;
  EXPECT_EQ(src.Info(1).name, u"ZETA") << what;
  EXPECT_EQ(src.Info(2).resourceId, 7u) << what;
  EXPECT_EQ(src.Info(3).resourceId, 300u) << what;
  EXPECT_EQ(src.Info(0).entries.size(), 4u) << what;
  for (int i = 0; i < 4; ++i) {
    auto large = src.Extract(i, 32);
    auto small = src.Extract(i, 16);
    ASSERT_TRUE(large.ok() && small.ok()) << what << " icon " << i << ": " << ErrorText(large.error());
    EXPECT_EQ(large->Width(), kFourGroups[i].size) << what << " icon " << i;
    EXPECT_EQ(large->colour.GetPixel(8, 8), kFourGroups[i].large) << what << " icon " << i;
    EXPECT_EQ(small->Width(), 16) << what << " icon " << i;
    EXPECT_EQ(small->colour.GetPixel(8, 8), kFourGroups[i].small) << what << " icon " << i;
    EXPECT_EQ(large->mask.GetPixel(8, 8), kBlack) << what << " icon " << i;
  }
}

TEST(IconSource, EveryExecutableKindListsAndExtractsTheSameFourIcons) {
  struct Case {
    const char* what;
    std::function<Buf()> bytes;
    SourceKind kind;
  };
  const Case cases[] = {
      {"PE32+ from the resource compiler", [] { return FixtureBytes("icons64.dll"); }, SourceKind::kPeImage},
      {"PE32", [] { return FixtureBytes("icons32.dll"); }, SourceKind::kPeImage},
      {"PE32+ built in memory", [] { return pgtest::BuildPe(pgtest::IconResources(FourGroups()), true).bytes; },
       SourceKind::kPeImage},
      {"NE", [] { return pgtest::BuildNe(pgtest::NeIconResources(FourGroups())).bytes; }, SourceKind::kNeImage},
  };
  for (const Case& c : cases) {
    const Buf bytes = c.bytes();
    auto src = OpenIconSource(View(bytes));
    ASSERT_TRUE(src.ok()) << c.what << ": " << ErrorText(src.error());
    EXPECT_EQ((*src)->Kind(), c.kind) << c.what;
    ExpectFourGroups(**src, c.what);
  }
}

TEST(IconSource, IcoFileIsOneIconListingItsImages) {
  auto src = OpenIconSourceFile(Fixture("alpha.ico"));
  ASSERT_TRUE(src.ok()) << ErrorText(src.error());
  EXPECT_EQ((*src)->Kind(), SourceKind::kIcoFile);
  ASSERT_EQ((*src)->Count(), 1);
  const auto info = (*src)->Info(0);
  ASSERT_EQ(info.entries.size(), 4u);
  EXPECT_EQ(info.entries[3].width, 48);
  EXPECT_EQ(info.entries[3].bitsPerPixel, 32);
  auto large = (*src)->Extract(0, 32);
  ASSERT_TRUE(large.ok());
  EXPECT_EQ(large->colour.GetPixel(8, 8), pgtest::kFixA32x8);
  EXPECT_EQ(large->mask.GetPixel(0, 0), kWhite);  // the images' transparent corner
  EXPECT_EQ((*src)->Extract(0, 16)->colour.GetPixel(8, 8), pgtest::kFixA16);
  EXPECT_EQ((*src)->Extract(1).error(), Error::kNoSuchIcon);
}

TEST(IconSource, IndexRulesFollowTheShell) {
  const Buf bytes = FixtureBytes("icons64.dll");
  auto src = OpenIconSource(View(bytes));
  ASSERT_TRUE(src.ok());
  const IconSource& s = **src;
  EXPECT_EQ(s.Extract(-7)->colour.GetPixel(8, 8), pgtest::kFixC16);   // group id 7
  EXPECT_EQ(s.Extract(-300)->colour.GetPixel(8, 8), pgtest::kFixD32);
  for (int index : {-1, 4, 1000, -5 /* an RT_ICON id, no group */, -70000, INT_MIN})
    EXPECT_EQ(s.Extract(index).error(), Error::kNoSuchIcon) << index;
  EXPECT_TRUE(s.Info(4).entries.empty());
}

TEST(IconSource, ExecutableWithoutIconsHasNoneButOtherFilesAreNoSource) {
  auto lib = OpenIconSourceFile(Fixture("noicons.dll"));
  ASSERT_TRUE(lib.ok()) << ErrorText(lib.error());
  EXPECT_EQ((*lib)->Count(), 0);
  EXPECT_EQ((*lib)->Extract(0).error(), Error::kNoSuchIcon);

  Buf dos(0x40, 0);
  dos[0] = 'M'; dos[1] = 'Z';
  const std::string text = "just some text, not an icon\n";
  const Buf zeros(64, 0);
  for (const Buf& b : {Buf(text.begin(), text.end()), dos, zeros, Buf{}})
    EXPECT_EQ(OpenIconSource(View(b)).error(), Error::kNotIconSource);
  EXPECT_EQ(OpenIconSourceFile(Fixture("no such file")).error(), Error::kFileNotFound);
}

TEST(IconSource, BitmapIsOneOpaqueIconScaledToTheIconSize) {
  auto px = [](int w, int h) {
    std::vector<std::uint32_t> v;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) v.push_back(Rgb(static_cast<std::uint8_t>(x * 9), static_cast<std::uint8_t>(y * 9), 7));
    return v;
  };
  const Buf b32 = pgtest::BmpFile(32, 32, 24, px(32, 32));
  const Buf b16 = pgtest::BmpFile(16, 16, 24, px(16, 16));
  const Buf b20x10 = pgtest::BmpFile(20, 10, 24, px(20, 10));
  for (const Buf* b : {&b32, &b16, &b20x10}) {
    auto src = OpenIconSource(View(*b));
    ASSERT_TRUE(src.ok());
    EXPECT_EQ((*src)->Kind(), SourceKind::kBitmap);
    ASSERT_EQ((*src)->Count(), 1);
    EXPECT_EQ((*src)->Info(0).entries.at(0).bitsPerPixel, 24);
    for (int size : {32, 16}) {
      auto icon = (*src)->Extract(0, size);
      ASSERT_TRUE(icon.ok());
      EXPECT_EQ(icon->colour.Width(), size);
      EXPECT_EQ(icon->colour.Height(), size);
      EXPECT_EQ(icon->mask, Image(size, size, kBlack));
    }
  }
  // 32 x 32 as it is; 16 x 16 enlarged by replicating each pixel.
  const auto v32 = px(32, 32), v16 = px(16, 16);
  auto i32 = (*OpenIconSource(View(b32)))->Extract(0, 32);
  auto i16 = (*OpenIconSource(View(b16)))->Extract(0, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      EXPECT_EQ(i32->colour.GetPixel(x, y), v32[y * 32 + x]);
      EXPECT_EQ(i16->colour.GetPixel(x, y), v16[(y / 2) * 16 + x / 2]);
    }
}

TEST(IconSource, KeepsItsOwnCopyOfTheBytes) {
  Buf bytes = pgtest::BuildPe(pgtest::IconResources(FourGroups()), true).bytes;
  auto src = OpenIconSource(View(bytes));
  ASSERT_TRUE(src.ok());
  std::fill(bytes.begin(), bytes.end(), 0xCC);
  ExpectFourGroups(**src, "after the caller's buffer was overwritten");
}

TEST(IconSource, ALibraryAsLargeAsTheSystemOneNeedsNoSystemFile) {
  // The system icon library has 184 groups; the tests build their own.
  std::vector<pgtest::GroupSpec> groups;
  for (std::uint32_t i = 1; i <= 184; ++i)
    groups.push_back({i, u"", {{16, 16, 4, i}, {32, 32, 8, i * 3}}});
  const Buf bytes = pgtest::BuildPe(pgtest::IconResources(groups), true).bytes;
  auto src = OpenIconSource(View(bytes));
  ASSERT_TRUE(src.ok());
  ASSERT_EQ((*src)->Count(), 184);
  EXPECT_EQ((*src)->Extract(3)->colour.GetPixel(8, 8), 12u);  // group 4, its 32x32
  EXPECT_EQ(MunFallbackPath("/win", "/win/System32/shell32.dll"),
            std::filesystem::path("/win/SystemResources/shell32.dll.mun"));
}

#ifndef _WIN32
// A library that another program shortens after it was opened: what the
// source would make of the missing bytes is refused, as far as the file
// went, instead of read as zeros (here the system lets a mapped file
// shrink).
TEST(IconSourceDamage, ALibraryShortenedAfterItWasOpenedCannotBeRead) {
  std::vector<pgtest::GroupSpec> groups;
  for (std::uint32_t i = 1; i <= 184; ++i) groups.push_back({i, u"", {{32, 32, 8, i * 3}}});
  const Buf bytes = pgtest::BuildPe(pgtest::IconResources(groups), true).bytes;
  const auto path = std::filesystem::temp_directory_path() / ("pg-shortened-" + std::to_string(getpid()) + ".dll");
  ASSERT_EQ(WriteFileReplacing(path, View(bytes)), Error::kOk);
  auto src = OpenIconSourceFile(path);
  ASSERT_TRUE(src.ok());
  EXPECT_EQ((*src)->Extract(3)->colour.GetPixel(8, 8), 12u);
  std::filesystem::resize_file(path, bytes.size() / 2);
  EXPECT_EQ((*src)->Extract(180).error(), Error::kFileUnreadable);
  EXPECT_EQ((*src)->Check(3), Error::kFileUnreadable);
  std::filesystem::remove(path);
}
#endif

TEST(IconSourceDamage, ABrokenGroupFailsAloneWithItsError) {
  using pgtest::IconDib;
  const Buf good = IconDib(32, 32, 8, 0x112233);
  auto groupOf = [](std::vector<std::uint16_t> ids, std::uint16_t count) {
    Buf g = pgtest::GroupDir(std::vector<pgtest::IconImageSpec>(ids.size(), {32, 32, 8, 0}), ids);
    pgtest::Put16(g, 4, count);
    return g;
  };
  Buf badImage = IconDib(32, 32, 8, 0);
  pgtest::Put16(badImage, 14, 7);  // a bit count no DIB has
  Buf liar = pgtest::GroupDir({{16, 16, 4, 0}}, {4});  // says 16x16 4-bit; holds 32x32 8-bit
  struct Case {
    const char* what;
    Buf group;
    Error expected;  // kOk: extracts the 0x112233 image
  };
  const Case cases[] = {
      {"empty group", groupOf({}, 0), Error::kNoImages},
      {"group naming a missing RT_ICON", groupOf({9}, 1), Error::kMissingResource},
      {"one missing among present", groupOf({9, 1}, 2), Error::kMissingResource},
      {"one damaged among sound ones", groupOf({1, 2, 4}, 3), Error::kBadHeader},
      {"one empty among sound ones", groupOf({4, 3}, 2), Error::kTruncated},
      {"count larger than the group", groupOf({1}, 0xFFFF), Error::kTruncated},
      {"not an icon group", [] { Buf g = pgtest::GroupDir({}, {}); pgtest::Put16(g, 2, 2); return g; }(),
       Error::kBadSignature},
      {"truncated header", Buf{0, 0, 1}, Error::kTruncated},
      {"damaged image", groupOf({2}, 1), Error::kBadHeader},
      {"zero-size image", groupOf({3}, 1), Error::kTruncated},
      {"entry disagreeing with its image", liar, Error::kOk},
  };
  for (const Case& c : cases) {
    const std::vector<pgtest::PeResource> res = {
        {3, 1, u"", good}, {3, 2, u"", badImage}, {3, 3, u"", {}}, {3, 4, u"", good},
        {14, 1, u"", c.group}, {14, 2, u"", pgtest::GroupDir({{32, 32, 8, 0}}, {1})}};
    const Buf bytes = pgtest::BuildPe(res, true).bytes;
    auto src = OpenIconSource(View(bytes));
    ASSERT_TRUE(src.ok()) << c.what;
    ASSERT_EQ((*src)->Count(), 2) << c.what;
    auto icon = (*src)->Extract(0);
    // The listing, the check and the slot's content agree with Extract.
    EXPECT_EQ((*src)->Check(0), icon.error()) << c.what;
    EXPECT_EQ((*src)->Info(0).status, icon.error()) << c.what;
    EXPECT_EQ(ExtractSlotContent(**src, 0, false).error(), icon.error()) << c.what;
    if (c.expected == Error::kOk) {
      ASSERT_TRUE(icon.ok()) << c.what << ": " << ErrorText(icon.error());
      EXPECT_EQ(icon->Width(), 32) << c.what;
      EXPECT_EQ(icon->colour.GetPixel(8, 8), 0x112233u) << c.what;
    } else {
      // Only the kind of failure matters for the damaged image.
      if (std::string(c.what) == "damaged image" || std::string(c.what) == "zero-size image")
        EXPECT_FALSE(icon.ok()) << c.what;
      else
        EXPECT_EQ(icon.error(), c.expected) << c.what;
    }
    EXPECT_TRUE((*src)->Extract(1).ok()) << c.what << ": the other group still extracts";
  }
}

TEST(IconSourceDamage, DamagedFilesAreRefusedNotMisread) {
  auto pe = pgtest::BuildPe(pgtest::IconResources(FourGroups()), true);
  pgtest::Put32(pe.bytes, pe.directories[0] + 16 + 4, 0x80000000u);  // loop to the root
  EXPECT_EQ(OpenIconSource(View(pe.bytes)).error(), Error::kBadResourceDirectory);
  auto ne = pgtest::BuildNe(pgtest::NeIconResources(FourGroups()));
  pgtest::Put16(ne.bytes, ne.table, 40);
  EXPECT_EQ(OpenIconSource(View(ne.bytes)).error(), Error::kBadHeader);
  // A damaged icon file holds one damaged icon.
  Buf ico = pgtest::IcoFile(pgtest::FixtureSeven());
  pgtest::Put32(ico, 6 + 12, 0xFFFFFF00u);  // image offset past the end
  auto src = OpenIconSource(View(ico));
  ASSERT_TRUE(src.ok());
  EXPECT_EQ((*src)->Count(), 1);
  EXPECT_EQ((*src)->Info(0).status, Error::kTruncated);
  EXPECT_EQ((*src)->Extract(0).error(), Error::kTruncated);
}

// One icon resource whose bytes lie outside the file's sections spoils the
// groups that use it and no other: the rest of the library still lists,
// extracts and fills a slot.
TEST(IconSourceDamage, AResourceOutsideTheSectionsSpoilsOnlyTheGroupsUsingIt) {
  auto pe = pgtest::BuildPe(pgtest::IconResources({{1, u"", {{16, 16, 8, 0x010203}, {32, 32, 8, 0x010203}}},
                                                   {2, u"", {{32, 32, 8, 0x445566}}}}),
                            true);
  // Data entries run in directory order: the icons 1, 2, 3, then the groups.
  for (const std::uint32_t at : {std::uint32_t{0}, std::uint32_t{4}}) {
    Buf bytes = pe.bytes;
    pgtest::Put32(bytes, pe.dataEntries[1] + at, at == 0 ? 0x00900000u : 0xFFFFFFF0u);
    auto res = ReadPeIconResources(View(bytes));
    ASSERT_TRUE(res.ok()) << ErrorText(res.error());
    EXPECT_EQ(res->icons[1].fault, Error::kBadSectionTable);
    auto src = OpenIconSource(View(bytes));
    ASSERT_TRUE(src.ok()) << ErrorText(src.error());
    ASSERT_EQ((*src)->Count(), 2);
    EXPECT_EQ((*src)->Info(0).status, Error::kBadSectionTable);
    EXPECT_EQ((*src)->Check(0), Error::kBadSectionTable);
    EXPECT_EQ((*src)->Extract(0, kSmallSize).error(), Error::kBadSectionTable);
    EXPECT_EQ(ExtractSlotContent(**src, 0, false).error(), Error::kBadSectionTable);
    EXPECT_EQ((*src)->Check(1), Error::kOk);
    auto content = ExtractSlotContent(**src, 1, false);
    ASSERT_TRUE(content.ok());
    EXPECT_EQ(content->icon.colour.GetPixel(4, 4), 0x445566u);
  }
}

// The directory entry's size is a hint in an icon file as in a library's
// group: the image's header gives the size the listing shows and the
// extraction uses.
TEST(IconSourceDamage, AnIconFilesEntryThatDisagreesWithItsImageIsAHint) {
  using namespace fixtures;
  const ByteVec png = MakePng(40, 24, [](int, int) { return 0xFF336699u; });
  const ByteVec dib = MakeIconDib(20, 12, 24, [](int, int) { return 0x336699u; }, [](int, int) { return false; });
  for (const auto& [image, bits] : {std::pair{png, 32}, std::pair{dib, 24}}) {
    const ByteVec ico = MakeIcoFile({{image, 32, 32, 32}});
    auto src = OpenIconSource(View(ico));
    ASSERT_TRUE(src.ok());
    const IconGroupInfo info = (*src)->Info(0);
    EXPECT_EQ(info.status, Error::kOk);
    ASSERT_EQ(info.entries.size(), 1u);
    EXPECT_EQ(info.entries[0].width, bits == 32 ? 40 : 20);
    EXPECT_EQ(info.entries[0].height, bits == 32 ? 24 : 12);
    EXPECT_EQ((*src)->Check(0), Error::kOk);
    auto icon = (*src)->Extract(0);
    ASSERT_TRUE(icon.ok()) << ErrorText(icon.error());
    EXPECT_EQ(icon->Width(), bits == 32 ? 40 : 20);
    EXPECT_EQ(icon->Height(), bits == 32 ? 24 : 12);
  }
}

}  // namespace
}  // namespace pg
