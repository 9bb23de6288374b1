#include "win/messages.h"

#include <cwctype>

namespace pgw {

void ShowError(HWND owner, const std::wstring& text) noexcept {
  MessageBoxW(owner, text.c_str(), kMessageCaption, MB_OK | MB_ICONERROR);
}

void ShowErrorUtf8(HWND owner, const char* text) noexcept {
  const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring wide(n > 0 ? static_cast<std::size_t>(n) : 1, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), n);
  MessageBoxW(owner, wide.c_str(), kMessageCaption, MB_OK | MB_ICONERROR);
}

void ShowNotice(HWND owner, const std::wstring& text) noexcept {
  MessageBoxW(owner, text.c_str(), kMessageCaption, MB_OK);
}

std::wstring FileErrorText(std::wstring_view fileName, std::wstring_view failed,
                           std::wstring reason) {
  if (!reason.empty()) reason[0] = static_cast<wchar_t>(std::towupper(reason[0]));
  std::wstring text = L"ﾌｧｲﾙ ";
  text += fileName;
  text += L" ";
  text += failed;
  text += L"\n\n";
  text += reason;
  text += L".";
  return text;
}

}  // namespace pgw
