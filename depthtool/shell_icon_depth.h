// The decisions of Depthwell, apart from the registry and the message boxes:
// how a stored "Shell Icon BPP" value reads as text, and which texts count as
// enough colour depth for the shell's icons. Portable: no platform headers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace depthwell {

// Registry value types, numbered as the registry numbers them.
inline constexpr std::uint32_t kTypeString = 1;          // REG_SZ
inline constexpr std::uint32_t kTypeExpandString = 2;    // REG_EXPAND_SZ

// The text Depthwell stores when the user agrees.
inline constexpr std::u16string_view kChosenDepth = u"16";

// The text of a string value from its type and stored bytes (UTF-16LE): the
// code units up to the first NUL, or all of them when none is stored; an odd
// last byte is no code unit. REG_EXPAND_SZ is taken as it stands, without
// expanding variables. Any other type gives nullopt (wrong data type).
std::optional<std::u16string> StringFromValue(std::uint32_t type,
                                              std::span<const std::uint8_t> data);

// True for exactly "16", "24" and "32": no blanks, no leading zeros, no other
// numbers. The empty text (a missing value) is not enough.
bool IsSufficientShellIconDepth(std::u16string_view text) noexcept;

}  // namespace depthwell
