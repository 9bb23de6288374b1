#include "imaging/icon_intake.h"

#include <cmath>

namespace pg {
namespace {

char16_t AsciiLower(char16_t c) noexcept { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool IsBlank(char16_t c) noexcept { return c == u' ' || c == u'\t'; }

}  // namespace

std::u16string ExtensionOfPath(std::u16string_view path) {
  const std::size_t last = path.find_last_of(u".\\:");
  if (last == std::u16string_view::npos || path[last] != u'.') return {};
  return std::u16string(path.substr(last));
}

DropRoute RouteOfExtension(std::u16string_view extension) {
  if (EqualsIgnoringAsciiCase(extension, u".ico")) return DropRoute::kIconFile;
  if (EqualsIgnoringAsciiCase(extension, u".pac")) return DropRoute::kPackedBitmap;
  return DropRoute::kOther;
}

int FillProgress(int i, int count) noexcept {
  if (count < 1) return 0;
  // Extended precision where the compiler has it, and the default rounding
  // mode, which sends halves to the even neighbour.
  const long double percent = static_cast<long double>(i) / count * 100.0L;
  return static_cast<int>(std::nearbyint(percent));
}

std::optional<std::int32_t> ParseIconIndex(std::u16string_view caption) noexcept {
  std::size_t b = 0, e = caption.size();
  while (b < e && IsBlank(caption[b])) ++b;
  while (e > b && IsBlank(caption[e - 1])) --e;
  const std::u16string_view s = caption.substr(b, e - b);
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  if (i == s.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < u'0' || s[i] > u'9') return std::nullopt;
    value = value * 10 + (s[i] - u'0');
    if (value > std::int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace pg
