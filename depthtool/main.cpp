// Depthwell: reads the per-user setting with which the shell draws icons
// ("Shell Icon BPP"), says so when it is already 16, 24 or 32 bits, and
// otherwise offers to set it to 16. It has no window: one or two message
// boxes, then it exits (status 0; 1 after an error box).
//
// Nothing is sent to the shell after a change; the last box asks the user to
// restart, which is when the shell reads the setting again.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "shell_icon_depth.h"

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "registry strings are UTF-16");

// A path from HKEY_CURRENT_USER; the Win32 call takes it without a leading
// backslash.
constexpr wchar_t kKeyPath[] = L"Control Panel\\desktop\\windowmetrics";
constexpr wchar_t kValueName[] = L"Shell Icon BPP";
constexpr wchar_t kAppCaption[] = L"Depthwell";
constexpr wchar_t kAskCaption[] = L"確認";

constexpr wchar_t kSufficientText[] = L"アイコンの表示色数は充分です。";
constexpr wchar_t kQuestionText[] = L"アイコンの表示色数を変更します。";
constexpr wchar_t kDoneText[] = L"正しく変更されました。再起動して下さい。";

// The two boxes that ask get Japanese buttons; the done box is a plain one.
constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_NEUTRAL);
constexpr UINT kSufficientFlags = MB_OK | MB_ICONQUESTION | MB_SETFOREGROUND;
constexpr UINT kQuestionFlags = MB_OKCANCEL | MB_ICONQUESTION | MB_SETFOREGROUND;
static_assert(kJapanese == 0x0011 && kSufficientFlags == 0x10020 && kQuestionFlags == 0x10021);

class unique_hkey {
 public:
  unique_hkey() noexcept = default;
  explicit unique_hkey(HKEY key) noexcept : key_(key) {}
  ~unique_hkey() {
    if (key_) RegCloseKey(key_);
  }
  unique_hkey(const unique_hkey&) = delete;
  unique_hkey& operator=(const unique_hkey&) = delete;
  HKEY get() const noexcept { return key_; }

 private:
  HKEY key_ = nullptr;
};

enum class Failure { WrongType, ReadFailed, WriteFailed };

std::wstring FailureText(Failure failure) {
  const std::wstring name = std::wstring(L"'") + kValueName + L"' ";
  switch (failure) {
    case Failure::WrongType: return name + L"のﾃﾞｰﾀ型が不正です";
    case Failure::ReadFailed: return name + L"の取得に失敗しました";
    case Failure::WriteFailed: return name + L"の設定に失敗しました";
  }
  return name;
}

int Report(Failure failure) {
  MessageBoxW(nullptr, FailureText(failure).c_str(), kAppCaption, MB_OK | MB_ICONERROR);
  return 1;
}

// Read and write access; where only reading is allowed the setting is still
// read, and the write later fails with its own message. A key that cannot be
// opened at all reads as a missing value.
HKEY OpenSettingKey() {
  for (const REGSAM access : {REGSAM{KEY_QUERY_VALUE | KEY_SET_VALUE}, REGSAM{KEY_QUERY_VALUE}}) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, access, &key) == ERROR_SUCCESS) return key;
  }
  return nullptr;
}

struct Reading {
  std::u16string text;  // empty for a missing value
  std::optional<Failure> failure;
};

Reading ReadSetting(HKEY key) {
  if (!key) return {};
  DWORD type = 0;
  DWORD size = 0;
  // A value that is missing, or whose size cannot be queried, is no text.
  if (RegQueryValueExW(key, kValueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return {};
  if (type != REG_SZ && type != REG_EXPAND_SZ) return {{}, Failure::WrongType};
  std::vector<std::uint8_t> data;
  try {
    data.resize(size);
  } catch (const std::bad_alloc&) {
    return {{}, Failure::ReadFailed};
  }
  // The value may have changed between the calls; then the read fails here
  // (ERROR_MORE_DATA) or its new type is checked below.
  if (RegQueryValueExW(key, kValueName, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
    return {{}, Failure::ReadFailed};
  data.resize(size);
  std::optional<std::u16string> text = depthwell::StringFromValue(type, data);
  if (!text) return {{}, Failure::WrongType};
  return {std::move(*text), std::nullopt};
}

bool WriteSetting(HKEY key) {
  if (!key) return false;
  const std::u16string text(depthwell::kChosenDepth);
  // REG_SZ with its terminating NUL, as the registry expects.
  const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(char16_t));
  return RegSetValueExW(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        bytes) == ERROR_SUCCESS;
}

int Run() {
  const unique_hkey key(OpenSettingKey());
  const Reading reading = ReadSetting(key.get());
  if (reading.failure) return Report(*reading.failure);

  if (depthwell::IsSufficientShellIconDepth(reading.text)) {
    MessageBoxExW(nullptr, kSufficientText, kAskCaption, kSufficientFlags, kJapanese);
    return 0;
  }
  // Cancel, Escape or the close box: nothing is written and nothing more shown.
  if (MessageBoxExW(nullptr, kQuestionText, kAskCaption, kQuestionFlags, kJapanese) != IDOK)
    return 0;
  if (!WriteSetting(key.get())) return Report(Failure::WriteFailed);
  MessageBoxW(nullptr, kDoneText, kAppCaption, MB_OK);
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    return Run();
  } catch (...) {
    // Only an allocation in the error text can throw; end as a failure.
    return 1;
  }
}
