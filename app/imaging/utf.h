// The one conversion between UTF-8 (the core's narrow text, file names on
// the command line, the system's messages) and UTF-16 (resource names,
// Windows wide strings) for the whole program.
#pragma once

#include <string>
#include <string_view>

namespace pg {

// A lone surrogate becomes U+FFFD.
std::string Utf8FromUtf16(std::u16string_view s);

// A byte that starts no well-formed sequence (a stray continuation byte, an
// overlong or cut-off sequence, a surrogate's or a value past U+10FFFF)
// becomes U+FFFD.
std::u16string Utf16FromUtf8(std::string_view s);

}  // namespace pg
