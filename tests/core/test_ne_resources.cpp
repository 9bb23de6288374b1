#include <gtest/gtest.h>

#include <functional>

#include "exe_fixtures.h"
#include "imaging/ne_resources.h"

namespace pg {
namespace {

using pgtest::Buf;

Bytes View(const Buf& b) { return Bytes(b.data(), b.size()); }

pgtest::NeLayout TwoGroups(unsigned shift = 4) {
  return pgtest::BuildNe(pgtest::NeIconResources({{0, u"ALPHA", pgtest::FixtureAlpha()},
                                                  {7, u"", pgtest::FixtureSeven()}}),
                         shift);
}

TEST(NeResources, ListsNamedAndNumberedGroupsAndIconsAtEveryShift) {
  for (unsigned shift : {0u, 4u, 9u}) {
    const auto ne = TwoGroups(shift);
    EXPECT_EQ(DetectExecutable(View(ne.bytes)), ExeFormat::kNe);
    auto res = ReadNeIconResources(View(ne.bytes));
    ASSERT_TRUE(res.ok()) << shift << ": " << ErrorText(res.error());
    ASSERT_EQ(res->groups.size(), 2u);
    EXPECT_TRUE(res->groups[0].named);
    EXPECT_EQ(res->groups[0].name, u"ALPHA");
    EXPECT_EQ(res->groups[1].id, 7u);
    ASSERT_EQ(res->icons.size(), 5u);
    EXPECT_EQ(res->icons[4].id, 5u);
    // Data is rounded up to whole units; the image sits at its front.
    const Buf dib = pgtest::IconDib(16, 16, 8, pgtest::kFixC16);
    ASSERT_GE(res->icons[4].data.size(), dib.size());
    EXPECT_TRUE(std::equal(dib.begin(), dib.end(), res->icons[4].data.begin()));
  }
}

TEST(NeResources, ClampsDataToTheFileAndAcceptsNoResources) {
  auto ne = TwoGroups();
  pgtest::Put16(ne.bytes, ne.nameInfos[0], 0xFFFF);  // far past the end
  auto res = ReadNeIconResources(View(ne.bytes));
  ASSERT_TRUE(res.ok());
  EXPECT_TRUE(res->icons[0].data.empty());
  const auto last = res->icons[1].data;
  EXPECT_LE(last.data() + last.size(), ne.bytes.data() + ne.bytes.size());

  auto none = pgtest::BuildNe({});
  pgtest::Put16(none.bytes, 0x40 + 0x26, static_cast<std::uint32_t>(none.table - none.ne));
  res = ReadNeIconResources(View(none.bytes));
  ASSERT_TRUE(res.ok());
  EXPECT_TRUE(res->groups.empty());
}

TEST(NeResourcesDamage, RefusesEachDamageWithItsError) {
  using pgtest::Put16;
  struct Damage {
    const char* what;
    std::function<void(pgtest::NeLayout&)> apply;
    Error expected;
  };
  const Damage cases[] = {
      {"alignment shift above 16", [](auto& n) { Put16(n.bytes, n.table, 17); }, Error::kBadHeader},
      {"type list without its terminating 0",
       [](auto& n) { Put16(n.bytes, n.ne + 0x26, static_cast<std::uint32_t>(n.typeEnd - n.ne)); },
       Error::kBadResourceDirectory},
      {"type count past the table",
       [](auto& n) { Put16(n.bytes, n.table + 4, 0xFFFF); }, Error::kBadResourceDirectory},
      {"group name offset past the table",
       [](auto& n) { Put16(n.bytes, n.nameInfos[5] + 6, 0x7FF0); }, Error::kBadResourceDirectory},
      {"group name length past the table",
       [](auto& n) {
         const std::size_t at = n.table + (n.bytes[n.nameInfos[5] + 6] | (n.bytes[n.nameInfos[5] + 7] << 8));
         n.bytes[at] = 0xFF;
       },
       Error::kBadResourceDirectory},
      {"resource table beyond the file",
       [](auto& n) { Put16(n.bytes, n.ne + 0x24, 0xFFF0); Put16(n.bytes, n.ne + 0x26, 0xFFFF); },
       Error::kBadResourceDirectory},
      {"NE header offset beyond the file",
       [](auto& n) { pgtest::Put32(n.bytes, 0x3C, 0x7FFFFFFF); }, Error::kTruncated},
  };
  ASSERT_TRUE(ReadNeIconResources(View(TwoGroups().bytes)).ok());
  for (const Damage& d : cases) {
    auto ne = TwoGroups();
    d.apply(ne);
    EXPECT_EQ(ReadNeIconResources(View(ne.bytes)).error(), d.expected) << d.what;
  }
}

}  // namespace
}  // namespace pg
