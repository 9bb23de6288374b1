#include "imaging/icon_intake.h"

#include <gtest/gtest.h>

#include <string>

namespace pg {
namespace {

std::string Narrow(std::u16string_view s) { return std::string(s.begin(), s.end()); }

TEST(ExtensionOfPath, TakesTheLastDotAfterEveryDelimiter) {
  const struct { std::u16string_view path, want; } cases[] = {
      {u"D:\\icons\\smile.ico", u".ico"},
      {u"D:\\icons\\ICON.ICO", u".ICO"},             // capitals kept
      {u"D:\\icons\\archive.tar.pac", u".pac"},      // the last dot
      {u"D:\\icons\\icon.ico.bak", u".bak"},
      {u"D:\\notes.d\\readme", u""},                 // the dot is a folder's
      {u"D:\\icons\\", u""},
      {u"D:\\icons\\smile.", u"."},                  // ends in a dot
      {u"C:readme", u""},
      {u"C:.hidden", u".hidden"},
      {u"", u""},
      {u"\\\\?\\C:\\\u30a2\u30a4\u30b3\u30f3\\\u7d75.Ico", u".Ico"},  // any script
  };
  for (const auto& c : cases)
    EXPECT_EQ(Narrow(ExtensionOfPath(c.path)), Narrow(c.want)) << Narrow(c.path);
}

TEST(RouteOfExtension, IgnoresOnlyAsciiCase) {
  EXPECT_EQ(RouteOfExtension(u".ico"), DropRoute::kIconFile);
  EXPECT_EQ(RouteOfExtension(u".IcO"), DropRoute::kIconFile);
  EXPECT_EQ(RouteOfExtension(u".PAC"), DropRoute::kPackedBitmap);
  EXPECT_EQ(RouteOfExtension(u".ico "), DropRoute::kOther);
  EXPECT_EQ(RouteOfExtension(u"ico"), DropRoute::kOther);
  EXPECT_EQ(RouteOfExtension(u""), DropRoute::kOther);
  EXPECT_EQ(RouteOfExtension(u".\uff49co"), DropRoute::kOther);  // full-width i
}

TEST(FillProgress, RoundsHalvesToEven) {
  const int eight[] = {0, 12, 25, 38, 50, 62, 75, 88};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(FillProgress(i, 8), eight[i]) << i;
  EXPECT_EQ(FillProgress(0, 1), 0);
  EXPECT_EQ(FillProgress(1, 3), 33);
  EXPECT_EQ(FillProgress(2, 3), 67);
  EXPECT_EQ(FillProgress(183, 184), 99);
  EXPECT_EQ(FillProgress(5, 0), 0);
}

TEST(ParseIconIndex, AcceptsDecimalIntegersOnly) {
  EXPECT_EQ(ParseIconIndex(u"0"), 0);
  EXPECT_EQ(ParseIconIndex(u"2"), 2);
  EXPECT_EQ(ParseIconIndex(u" 17 "), 17);
  EXPECT_EQ(ParseIconIndex(u"-3"), -3);
  EXPECT_EQ(ParseIconIndex(u"+4"), 4);
  EXPECT_EQ(ParseIconIndex(u"2147483647"), 2147483647);
  EXPECT_EQ(ParseIconIndex(u"-2147483648"), INT32_MIN);
  for (std::u16string_view bad : {u"", u" ", u"-", u"abc", u"1a", u"1.5", u"2147483648",
                                  u"-2147483649", u"99999999999999999999", u"\uff11"})
    EXPECT_FALSE(ParseIconIndex(bad).has_value()) << Narrow(bad);
}

}  // namespace
}  // namespace pg
