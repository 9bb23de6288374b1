#include <gtest/gtest.h>

#include "imaging/folder_icon_setting.h"

namespace pg {
namespace {

using Kind = FolderIconChoice::Kind;

TEST(ChooseFolderIcon, FollowsTheSettingTable) {
  struct Case {
    std::u16string_view setting;
    FolderIconChoice want;
  };
  const Case cases[] = {
      {u"", {Kind::kUseShellDefault, u"", 3}},
      {u"D:\\Icons\\folders.dll,12", {Kind::kUseFile, u"D:\\Icons\\folders.dll", 12}},
      {u"D:\\Icons\\folder.ico,0", {Kind::kUseFile, u"D:\\Icons\\folder.ico", 0}},
      {u"D:\\Icons\\folders.dll, 7", {Kind::kUseFile, u"D:\\Icons\\folders.dll", 7}},
      {u"D:\\Icons\\folders.dll,", {Kind::kEmptySlot, u"", 0}},
      {u"D:\\Icons\\folders.dll,x1", {Kind::kEmptySlot, u"", 0}},
      {u"D:\\Icons\\folders.dll,12345", {Kind::kKeepDefault, u"", 0}},
      {u"D:\\My,Icons\\folders.dll,3", {Kind::kKeepDefault, u"", 0}},
      {u"D:\\Icons\\folder.ico", {Kind::kKeepDefault, u"", 0}},
      // Beyond the table: a resource id, hex, and the edges of the rule.
      {u"C:\\lib.dll,-100", {Kind::kUseFile, u"C:\\lib.dll", -100}},
      {u"C:\\lib.dll,$1F", {Kind::kUseFile, u"C:\\lib.dll", 31}},
      {u"C:\\lib.dll,9999", {Kind::kUseFile, u"C:\\lib.dll", 9999}},
      {u",3", {Kind::kUseFile, u"", 3}},
      {u"C:\\a,b\\lib.dll,1", {Kind::kKeepDefault, u"", 0}},
      {u"C:\\lib.dll,1 ", {Kind::kEmptySlot, u"", 0}},
      {u"C:\\フォルダ\\lib.dll,2", {Kind::kUseFile, u"C:\\フォルダ\\lib.dll", 2}},
  };
  for (const Case& c : cases) {
    const FolderIconChoice got = ChooseFolderIcon(c.setting);
    EXPECT_EQ(got.kind, c.want.kind) << std::string(c.setting.begin(), c.setting.end());
    if (c.want.kind == Kind::kUseFile) {
      EXPECT_TRUE(got.file == c.want.file);
      EXPECT_EQ(got.index, c.want.index);
    }
  }
}

TEST(StrToInt, AcceptsSignsDecimalAndDollarHexOnly) {
  const std::pair<std::u16string_view, std::optional<std::int32_t>> cases[] = {
      {u"0", 0},          {u"  42", 42},        {u"+7", 7},
      {u"-7", -7},        {u"$ff", 255},        {u"-$10", -16},
      {u"2147483647", 2147483647},              {u"-2147483648", INT32_MIN},
      {u"2147483648", std::nullopt},            {u"99999999999999999999", std::nullopt},
      {u"", std::nullopt}, {u"   ", std::nullopt}, {u"-", std::nullopt},
      {u"$", std::nullopt}, {u"1 ", std::nullopt}, {u"x1", std::nullopt},
      {u"1x", std::nullopt}, {u"+-1", std::nullopt}, {u"0x10", std::nullopt},
      {u"$G", std::nullopt}, {u"\t1", std::nullopt},
  };
  for (const auto& [text, want] : cases)
    EXPECT_EQ(StrToInt(text), want) << std::string(text.begin(), text.end());
}

TEST(FolderOfPath, CutsAtTheLastSeparatorAndKeepsADriveRoot) {
  const std::pair<std::u16string_view, std::u16string_view> cases[] = {
      {u"D:\\Tools\\prog.exe", u"D:\\Tools"},
      {u"D:\\prog.exe", u"D:\\"},
      {u"D:prog.exe", u"D:"},
      {u"\\\\server\\share\\x.ico", u"\\\\server\\share"},
      {u"\\\\x.ico", u"\\\\"},
      {u"\\x.ico", u"\\"},
      {u"prog.exe", u""},
      {u"", u""},
      {u"C:\\a\\b\\", u"C:\\a\\b"},
      // A double-byte name whose Shift-JIS form ends in byte 0x5C is no
      // problem in UTF-16: U+8868 is one unit, not a backslash.
      {u"C:\\表\\x.ico", u"C:\\表"},
  };
  for (const auto& [path, want] : cases)
    EXPECT_TRUE(FolderOfPath(path) == want) << std::string(path.begin(), path.end());
}

}  // namespace
}  // namespace pg
