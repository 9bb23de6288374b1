// Wide-string helpers between Win32 (wchar_t, UTF-16 on Windows) and the
// core's std::u16string.
#pragma once

#include <string>
#include <string_view>

#include "imaging/utf.h"

namespace pgw {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide strings are UTF-16");

inline std::u16string ToU16(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }
inline std::wstring ToWide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }
// The core's English texts are plain ASCII.
inline std::wstring Widen(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }
// UTF-8 (the system's reasons in WriteResult::Text, names from the core)
// through the program's one conversion.
inline std::wstring FromUtf8(std::string_view utf8) { return ToWide(pg::Utf16FromUtf8(utf8)); }

}  // namespace pgw
