#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "exe_fixtures.h"
#include "imaging/pe_resources.h"

namespace pg {
namespace {

using pgtest::Buf;

pgtest::PeLayout FourGroups(bool pe32Plus) {
  return pgtest::BuildPe(pgtest::IconResources({{300, u"", pgtest::Fixture300()},
                                                {0, u"ZETA", pgtest::FixtureZeta()},
                                                {7, u"", pgtest::FixtureSeven()},
                                                {0, u"ALPHA", pgtest::FixtureAlpha()}}),
                         pe32Plus);
}

Bytes View(const Buf& b) { return Bytes(b.data(), b.size()); }

class PeResources : public ::testing::TestWithParam<bool> {};

TEST_P(PeResources, ListsGroupsNamedFirstThenByIdAndIconsWithTheirBytes) {
  const auto pe = FourGroups(GetParam());
  EXPECT_EQ(DetectExecutable(View(pe.bytes)), GetParam() ? ExeFormat::kPe32Plus : ExeFormat::kPe32);
  auto res = ReadPeIconResources(View(pe.bytes));
  ASSERT_TRUE(res.ok()) << ErrorText(res.error());
  ASSERT_EQ(res->groups.size(), 4u);
  EXPECT_EQ(res->groups[0].name, u"ALPHA");
  EXPECT_EQ(res->groups[1].name, u"ZETA");
  EXPECT_FALSE(res->groups[2].named);
  EXPECT_EQ(res->groups[2].id, 7u);
  EXPECT_EQ(res->groups[3].id, 300u);
  ASSERT_EQ(res->icons.size(), 7u);
  for (std::size_t i = 0; i < res->icons.size(); ++i) EXPECT_EQ(res->icons[i].id, i + 1);
  // RT_ICON 1 is the first image of the first group given: the 32x32 of 300.
  const Buf first = pgtest::IconDib(32, 32, 24, pgtest::kFixD32);
  EXPECT_EQ(Buf(res->icons[0].data.begin(), res->icons[0].data.end()), first);
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, PeResources, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Pe32Plus" : "Pe32"; });

TEST(PeResourcesEmpty, ImageWithoutResourceDirectoryHasNoIcons) {
  auto pe = pgtest::BuildPe({{10, 1, u"", Buf(8, 1)}}, true);  // RCDATA only
  auto res = ReadPeIconResources(View(pe.bytes));
  ASSERT_TRUE(res.ok());
  EXPECT_TRUE(res->groups.empty());
  const std::size_t dirs = pe.optionalHeader + 112;
  pgtest::Put32(pe.bytes, dirs + 16, 0);
  pgtest::Put32(pe.bytes, dirs + 20, 0);
  res = ReadPeIconResources(View(pe.bytes));
  ASSERT_TRUE(res.ok());
  EXPECT_TRUE(res->groups.empty() && res->icons.empty());
}

struct Damage {
  const char* what;
  std::function<void(pgtest::PeLayout&)> apply;
  Error expected;
};

// One group "G" with one icon: directories are root, type 3, type 14,
// then the two language directories; entries start 16 bytes in.
pgtest::PeLayout OneGroup() {
  return pgtest::BuildPe(pgtest::IconResources({{5, u"G", {{32, 32, 8, 0x123456}}}}), true);
}

TEST(PeResourcesDamage, RefusesEachDamageWithItsError) {
  using pgtest::Put16;
  using pgtest::Put32;
  const Damage cases[] = {
      {"type entry points back at the root",
       [](auto& p) { Put32(p.bytes, p.directories[0] + 16 + 4, 0x80000000u); },
       Error::kBadResourceDirectory},
      {"name entry points at its own type directory",
       [](auto& p) { Put32(p.bytes, p.directories[1] + 16 + 4, 0x80000000u | std::uint32_t(p.directories[1] - p.rsrc)); },
       Error::kBadResourceDirectory},
      {"language entry leads to a fourth level",
       [](auto& p) { Put32(p.bytes, p.directories[3] + 16 + 4, 0x80000000u | std::uint32_t(p.directories[0] - p.rsrc)); },
       Error::kBadResourceDirectory},
      {"entry counts far beyond the section",
       [](auto& p) { Put16(p.bytes, p.directories[1] + 12, 0xFFFF); Put16(p.bytes, p.directories[1] + 14, 0xFFFF); },
       Error::kBadResourceDirectory},
      {"name string beyond the section",
       [](auto& p) { Put32(p.bytes, p.directories[2] + 16, 0x80000000u | 0x7FFFFFF0u); },
       Error::kBadResourceDirectory},
      {"name length beyond the section",
       [](auto& p) {
         const std::uint32_t field = pgtest::Get32(p.bytes, p.directories[2] + 16) & 0x7FFFFFFFu;
         Put16(p.bytes, p.rsrc + field, 0xFFFF);
       },
       Error::kBadResourceDirectory},
      {"resource RVA in no section",
       [](auto& p) { Put32(p.bytes, p.optionalHeader + 112 + 16, 0x7FFF0000u); }, Error::kBadSectionTable},
      {"section raw data outside the file",
       [](auto& p) { Put32(p.bytes, p.sectionHeader + 20, 0xFFFFFE00u); }, Error::kBadSectionTable},
      {"section table larger than the file",
       [](auto& p) { Put16(p.bytes, 0x44 + 2, 0xFFFF); }, Error::kBadSectionTable},
      {"truncated resource section",
       [](auto& p) { p.bytes.resize(p.rsrc + 40); }, Error::kBadResourceDirectory},
      {"optional header of an unknown kind",
       [](auto& p) { Put16(p.bytes, p.optionalHeader, 0x107); }, Error::kBadSignature},
      {"no PE signature where e_lfanew points",
       [](auto& p) { Put32(p.bytes, 0x3C, 0x10); }, Error::kBadSignature},
      {"e_lfanew past the end",
       [](auto& p) { Put32(p.bytes, 0x3C, 0xFFFFFFF0u); }, Error::kTruncated},
  };
  ASSERT_TRUE(ReadPeIconResources(View(OneGroup().bytes)).ok());
  for (const Damage& d : cases) {
    auto pe = OneGroup();
    d.apply(pe);
    auto res = ReadPeIconResources(View(pe.bytes));
    EXPECT_EQ(res.error(), d.expected) << d.what;
  }
}

TEST(PeResourcesDamage, EveryTruncationFailsCleanlyOrSucceeds) {
  const auto pe = FourGroups(false);
  for (std::size_t n = 0; n < pe.bytes.size(); n += 7) {
    Buf cut(pe.bytes.begin(), pe.bytes.begin() + n);
    auto res = ReadPeIconResources(View(cut));
    if (!res.ok()) continue;
    for (const auto& g : res->groups) EXPECT_LE(g.data.data() + g.data.size(), cut.data() + cut.size());
  }
}

}  // namespace
}  // namespace pg
