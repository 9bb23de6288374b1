// The one place Tessary shows a message box: every box the program, its
// picker, its form framework and its window components put up has the
// program's caption and comes from here.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace pgw {

inline constexpr wchar_t kMessageCaption[] = L"Pairglyph";

// An error, with the error icon and an OK button.
void ShowError(HWND owner, const std::wstring& text) noexcept;
// An error text in UTF-8 (the components' own texts are Japanese).
void ShowErrorUtf8(HWND owner, const char* text) noexcept;
// A plain notice with an OK button and no icon (the display-depth refusal).
void ShowNotice(HWND owner, const std::wstring& text) noexcept;

// A file that cannot be read or written, in the words of the program's file
// errors: the file's name, what failed (L"を開けません", L"を作成できません"),
// and why, as a sentence.
std::wstring FileErrorText(std::wstring_view fileName, std::wstring_view failed,
                           std::wstring reason);

}  // namespace pgw
