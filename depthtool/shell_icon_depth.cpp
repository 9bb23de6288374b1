#include "shell_icon_depth.h"

namespace depthwell {

std::optional<std::u16string> StringFromValue(std::uint32_t type,
                                              std::span<const std::uint8_t> data) {
  if (type != kTypeString && type != kTypeExpandString) return std::nullopt;
  std::u16string text;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == u'\0') break;
    text.push_back(unit);
  }
  return text;
}

bool IsSufficientShellIconDepth(std::u16string_view text) noexcept {
  // Compared as stored: " 16", "016" or "16 " are other texts, not 16.
  return text == u"16" || text == u"24" || text == u"32";
}

}  // namespace depthwell
