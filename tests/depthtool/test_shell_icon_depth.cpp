// Which stored "Shell Icon BPP" values Depthwell reads as which text, and
// which texts it leaves alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "shell_icon_depth.h"

namespace {

using depthwell::IsSufficientShellIconDepth;
using depthwell::StringFromValue;

constexpr std::uint32_t kNone = 0, kSz = 1, kExpandSz = 2, kBinary = 3, kDword = 4, kMultiSz = 7;

// The bytes the registry stores for these UTF-16 code units.
std::vector<std::uint8_t> Utf16Le(std::u16string_view units) {
  std::vector<std::uint8_t> out;
  for (char16_t u : units) {
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  return out;
}

TEST(ShellIconDepth, OnlyExactly16And24And32AreSufficient) {
  for (std::u16string_view text : {u"16", u"24", u"32"})
    EXPECT_TRUE(IsSufficientShellIconDepth(text)) << std::string(text.begin(), text.end());
  for (std::u16string_view text : {u"", u"8", u"4", u"2", u"1", u"15", u"64", u"016", u" 16",
                                   u"16 ", u"160", u"3", u"32\n", u"+16", u"0x10",
                                   u"\uFF11\uFF16" /* full-width 16 */})
    EXPECT_FALSE(IsSufficientShellIconDepth(text)) << std::string(text.begin(), text.end());
}

TEST(ShellIconDepth, StringValueIsTextUpToItsFirstNul) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::u16string text;
  };
  std::vector<std::uint8_t> odd = Utf16Le(u"16");
  odd.push_back(0x33);
  const Case cases[] = {
      {"terminated", Utf16Le(std::u16string(u"16") + u'\0'), u"16"},
      {"unterminated", Utf16Le(u"16"), u"16"},
      {"text after a NUL", Utf16Le(std::u16string(u"16") + u'\0' + u"99"), u"16"},
      {"NUL first", Utf16Le(std::u16string(u"\0" u"16", 3)), u""},
      {"no bytes", {}, u""},
      {"odd last byte", odd, u"16"},
      {"little-endian units", Utf16Le(u"\u8868\u793A 16"), u"\u8868\u793A 16"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StringFromValue(kSz, c.bytes), std::optional<std::u16string>(c.text)) << c.what;
    EXPECT_EQ(StringFromValue(kExpandSz, c.bytes), std::optional<std::u16string>(c.text)) << c.what;
  }
}

TEST(ShellIconDepth, ExpandStringIsNotExpanded) {
  EXPECT_EQ(StringFromValue(kExpandSz, Utf16Le(u"%DEPTH%")), u"%DEPTH%");
  // 24 stored as REG_EXPAND_SZ is the text 24, and that is enough.
  const auto text = StringFromValue(kExpandSz, Utf16Le(std::u16string(u"24") + u'\0'));
  ASSERT_TRUE(text);
  EXPECT_TRUE(IsSufficientShellIconDepth(*text));
}

TEST(ShellIconDepth, OtherTypesAreNoString) {
  // A DWORD 16 is not the text 16: a wrong data type, whatever the bytes.
  const std::vector<std::uint8_t> dword16 = {16, 0, 0, 0};
  for (std::uint32_t type : {kNone, kBinary, kDword, kMultiSz, 5u, 11u})
    EXPECT_EQ(StringFromValue(type, dword16), std::nullopt) << type;
  EXPECT_EQ(StringFromValue(kBinary, Utf16Le(u"16")), std::nullopt);
}

}  // namespace
