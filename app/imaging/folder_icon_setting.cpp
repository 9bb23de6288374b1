#include "imaging/folder_icon_setting.h"

namespace pg {
namespace {

bool IsSeparator(char16_t c) noexcept { return c == u'\\' || c == u':'; }

int HexDigit(char16_t c) noexcept {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::int32_t> StrToInt(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
    negative = text[i] == u'-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == u'$') {
    base = 16;
    ++i;
  }
  if (i == text.size()) return std::nullopt;  // no digits at all
  // Accumulate the magnitude in 64 bits and stop as soon as it can no
  // longer be a 32-bit value, so no input length can overflow.
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;  // |INT32_MIN|
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int d = HexDigit(text[i]);
    if (d < 0 || d >= base) return std::nullopt;
    magnitude = magnitude * base + d;
    if (magnitude > kLimit) return std::nullopt;
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

FolderIconChoice ChooseFolderIcon(std::u16string_view setting) {
  const std::size_t comma = setting.find(u',');
  if (comma != std::u16string_view::npos && setting.size() - comma - 1 <= kMaxIndexTextLength) {
    const std::optional<std::int32_t> index = StrToInt(setting.substr(comma + 1));
    if (!index) return {FolderIconChoice::Kind::kEmptySlot, {}, 0};
    return {FolderIconChoice::Kind::kUseFile, std::u16string(setting.substr(0, comma)), *index};
  }
  if (setting.empty()) return {FolderIconChoice::Kind::kUseShellDefault, {}, kShellFolderIconIndex};
  return {FolderIconChoice::Kind::kKeepDefault, {}, 0};
}

std::u16string FolderOfPath(std::u16string_view path) {
  std::size_t end = path.size();
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  // path[0, end) now ends with its last separator (or is empty).
  if (end >= 2 && path[end - 1] == u'\\' && !IsSeparator(path[end - 2])) --end;
  return std::u16string(path.substr(0, end));
}

}  // namespace pg
