#include "win/icon_files.h"

#include <windows.h>

#include <filesystem>

namespace pgw {
namespace {

std::wstring FullPath(const std::wstring& path) {
  const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  const DWORD got = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  if (got == 0 || got >= n) return path;
  full.resize(got);
  return full;
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
  std::wstring x = FullPath(a), y = FullPath(b);
  while (x.size() > 3 && (x.back() == L'\\' || x.back() == L'/')) x.pop_back();
  while (y.size() > 3 && (y.back() == L'\\' || y.back() == L'/')) y.pop_back();
  return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(),
                              static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

std::wstring WindowsFolder() {
  wchar_t buf[MAX_PATH + 1] = {};
  const UINT n = GetSystemWindowsDirectoryW(buf, MAX_PATH + 1);
  return std::wstring(buf, n <= MAX_PATH ? n : 0);
}

}  // namespace

std::wstring SystemFolder() {
  wchar_t buf[MAX_PATH + 1] = {};
  const UINT n = GetSystemDirectoryW(buf, MAX_PATH + 1);
  std::wstring dir(buf, n <= MAX_PATH ? n : 0);
  const auto blank = [](wchar_t c) { return c <= L' '; };
  while (!dir.empty() && blank(dir.back())) dir.pop_back();
  std::size_t start = 0;
  while (start < dir.size() && blank(dir[start])) ++start;
  return dir.substr(start);
}

pg::Result<std::unique_ptr<pg::IconSource>> OpenIconFile(const std::wstring& path) {
  const std::filesystem::path file(path);
  const std::wstring windows = WindowsFolder();
  if (!windows.empty() && SameFolder(file.parent_path().wstring(), SystemFolder())) {
    // The system serves such a library's resources from its .mun file
    // whenever there is one; do the same.
    auto resources = pg::OpenIconSourceFile(pg::MunFallbackPath(windows, file));
    if (resources && (*resources)->Count() > 0) return resources;
  }
  return pg::OpenIconSourceFile(file);
}

}  // namespace pgw
