#include "win/command_line.h"

#include <windows.h>
#include <shellapi.h>

namespace pgw {

std::wstring FullPath(const std::wstring& path) {
  if (path.empty()) return path;
  // The first call gives the length a full path needs, which has no limit
  // of MAX_PATH.
  std::wstring full(MAX_PATH, L'\0');
  for (int tries = 0; tries < 4; ++tries) {
    const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                     nullptr);
    if (n == 0) return path;
    if (n < full.size()) {
      full.resize(n);
      return full;
    }
    full.assign(n, L'\0');
  }
  return path;
}

std::vector<std::wstring> CommandLineFiles() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!argv) return {};
  std::vector<std::wstring> files;
  for (int i = 1; i < count; ++i) files.push_back(FullPath(argv[i]));
  LocalFree(argv);
  return files;
}

}  // namespace pgw
