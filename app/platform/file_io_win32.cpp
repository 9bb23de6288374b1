// file_io.h with the Win32 file calls: ReplaceFileW keeps the replaced
// file's attributes and ACLs, and `\\?\` names reach past MAX_PATH. Every
// handle, find handle and view is held by an owner that closes it, and
// every temporary or backup name by one that deletes it, so a failure or an
// exception at any step leaves nothing behind.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <utility>

#include "imaging/utf.h"
#include "platform/file_io.h"
#include "platform/file_io_shared.h"

namespace pg {
namespace fs = std::filesystem;
using namespace file_io;

namespace {

std::error_code LastError() {
  return std::error_code(static_cast<int>(GetLastError()), std::system_category());
}

std::string Utf8OfWide(std::wstring_view w) {
  return Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(w.data()), w.size()));
}

// Names of MAX_PATH and more need the `\\?\` form, which takes a full path
// with backslashes only; shorter names are passed as given.
std::wstring Win32Name(const fs::path& p) {
  std::wstring w = p.wstring();
  if (w.size() < MAX_PATH - 12 || w.rfind(L"\\\\?\\", 0) == 0) return w;
  const DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  if (n == 0) return w;
  std::wstring full(n, L'\0');
  const DWORD got = GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
  if (got == 0 || got >= n) return w;
  full.resize(got);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// A handle of CreateFileW (invalid: INVALID_HANDLE_VALUE) or of
// OpenProcess and CreateFileMappingW (invalid: null).
class UniqueHandle {
 public:
  explicit UniqueHandle(HANDLE h = INVALID_HANDLE_VALUE) noexcept : h_(h) {}
  UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, INVALID_HANDLE_VALUE)) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) {
      Close();
      h_ = std::exchange(o.h_, INVALID_HANDLE_VALUE);
    }
    return *this;
  }
  ~UniqueHandle() { Close(); }
  HANDLE get() const noexcept { return h_; }
  bool Valid() const noexcept { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  void Close() noexcept {
    if (Valid()) CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE h_;
};

class UniqueFind {
 public:
  explicit UniqueFind(HANDLE h) noexcept : h_(h) {}
  UniqueFind(const UniqueFind&) = delete;
  UniqueFind& operator=(const UniqueFind&) = delete;
  ~UniqueFind() {
    if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
  }
  HANDLE get() const noexcept { return h_; }

 private:
  HANDLE h_;
};

// A name of ours (a temporary or a backup file), deleted when the owner
// goes unless it was released (moved into place, or back).
class OwnedName {
 public:
  OwnedName() = default;
  OwnedName(const OwnedName&) = delete;
  OwnedName& operator=(const OwnedName&) = delete;
  ~OwnedName() { Remove(); }
  void Set(fs::path p, std::wstring win32) {
    Remove();
    path_ = std::move(p);
    win32_ = std::move(win32);
  }
  const fs::path& path() const noexcept { return path_; }
  const std::wstring& win32() const noexcept { return win32_; }
  bool empty() const noexcept { return path_.empty(); }
  void Release() noexcept {
    path_.clear();
    win32_.clear();
  }
  void Remove() noexcept {
    if (!win32_.empty()) DeleteFileW(win32_.c_str());
    Release();
  }

 private:
  fs::path path_;
  std::wstring win32_;  // made when the name is set, so removing it allocates nothing
};

bool ProcessGone(unsigned long pid) {
  UniqueHandle h(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid)));
  if (h.Valid()) return false;
  return GetLastError() == ERROR_INVALID_PARAMETER;
}

void RemoveStaleTemporaries(const fs::path& folder) {
  WIN32_FIND_DATAW found;
  const std::wstring pattern = Win32Name(folder / ".pairglyph-*");
  UniqueFind find(FindFirstFileW(pattern.c_str(), &found));
  if (find.get() == INVALID_HANDLE_VALUE) return;
  do {
    const unsigned long pid = PidOfTempName(Utf8OfWide(found.cFileName));
    if (pid != 0 && pid != GetCurrentProcessId() && ProcessGone(pid))
      DeleteFileW(Win32Name(folder / found.cFileName).c_str());
  } while (FindNextFileW(find.get(), &found));
}

bool WriteAll(HANDLE h, Bytes data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
    DWORD wrote = 0;
    if (!WriteFile(h, data.data() + done, chunk, &wrote, nullptr) || wrote == 0) return false;
    done += wrote;
  }
  return true;
}

// `data` from the start of `h`, the file ending after it, on the disk.
bool Rewrite(HANDLE h, Bytes data) {
  LARGE_INTEGER zero{};
  return SetFilePointerEx(h, zero, nullptr, FILE_BEGIN) && WriteAll(h, data) && SetEndOfFile(h) &&
         FlushFileBuffers(h);
}

// One output of a write.
struct Pending {
  OutputFile out;
  fs::path target;  // the file written (a symbolic link's final target)
  bool exists = false;
  OwnedName temp, backup;
  bool inPlace = false;  // hard-linked: rewritten through `file`
  UniqueHandle file;
  std::uint64_t oldSize = 0;
  std::vector<std::uint8_t> old;
  bool committed = false;

  WriteResult Prepare();
  // Always with a backup name: without one, a replacement that cannot be
  // moved into place leaves the original under no name at all.
  WriteResult Commit(bool undoable, FolderFlushes* later);
  void Rollback() noexcept;

 private:
  bool OpenHardLinked();
};

// A target with other names is opened to be rewritten in place, its old
// bytes kept for a rollback; false when it has one name (or cannot be
// opened so, and the replace reports why).
bool Pending::OpenHardLinked() {
  UniqueHandle h(CreateFileW(Win32Name(target).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.Valid()) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h.get(), &info) || info.nNumberOfLinks < 2) return false;
  inPlace = true;
  oldSize = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  if (oldSize <= kMaxRollbackCopy) {
    old.resize(static_cast<std::size_t>(oldSize));
    std::size_t done = 0;
    while (done < old.size()) {
      DWORD got = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(old.size() - done, 1u << 30));
      if (!ReadFile(h.get(), old.data() + done, chunk, &got, nullptr) || got == 0) break;
      done += got;
    }
    old.resize(done);
  }
  file = std::move(h);
  return true;
}

WriteResult Pending::Prepare() {
  target = out.path;
  const std::wstring name = Win32Name(target);
  const DWORD attrs = GetFileAttributesW(name.c_str());
  if (attrs != INVALID_FILE_ATTRIBUTES) {
    exists = true;
    if (attrs & FILE_ATTRIBUTE_DIRECTORY) return Failed(Error::kNotAFile, out.path);
    if (attrs & FILE_ATTRIBUTE_READONLY)
      return Failed(Error::kFileReadOnly, out.path, std::error_code(ERROR_ACCESS_DENIED, std::system_category()));
    if (attrs & FILE_ATTRIBUTE_REPARSE_POINT) {
      UniqueHandle h(CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!h.Valid()) return Failed(Error::kFileWriteFailed, out.path, LastError());
      std::wstring buf(32768, L'\0');
      const DWORD n = GetFinalPathNameByHandleW(h.get(), buf.data(), 32768, FILE_NAME_NORMALIZED);
      if (n == 0 || n >= 32768) return Failed(Error::kFileWriteFailed, out.path, LastError());
      buf.resize(n);
      target = fs::path(buf);
    }
  } else {
    const DWORD e = GetLastError();
    if (e != ERROR_FILE_NOT_FOUND)
      return Failed(Error::kFileWriteFailed, out.path, std::error_code(static_cast<int>(e), std::system_category()));
  }
  if (exists && OpenHardLinked()) return {};
  const fs::path folder = FolderOf(target);
  RemoveStaleTemporaries(folder);
  UniqueHandle h;
  for (int attempt = 0; attempt < 16 && !h.Valid(); ++attempt) {
    fs::path tempPath = folder / TempName(GetCurrentProcessId(), ".tmp");
    std::wstring tempName = Win32Name(tempPath);
    h = UniqueHandle(
        CreateFileW(tempName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h.Valid()) {
      temp.Set(std::move(tempPath), std::move(tempName));
    } else if (GetLastError() != ERROR_FILE_EXISTS) {
      break;
    }
  }
  if (!h.Valid()) return Failed(Error::kFileWriteFailed, out.path, LastError());
  Step(WriteStep::kTemporaryCreated);
  if (!WriteAll(h.get(), out.data) || !FlushFileBuffers(h.get()))
    return Failed(Error::kFileWriteFailed, out.path, LastError());
  // Closed before the replace, which needs the file unopened.
  h.Close();
  Step(WriteStep::kTemporaryWritten);
  return {};
}

WriteResult Pending::Commit(bool /*undoable*/, FolderFlushes* /*later*/) {
  if (inPlace) {
    committed = true;  // from here on the file may hold part of the new bytes
    if (!Rewrite(file.get(), out.data)) return Failed(Error::kFileWriteFailed, out.path, LastError());
    return {};
  }
  const std::wstring targetName = Win32Name(target);
  if (exists) {
    fs::path backupPath = FolderOf(target) / TempName(GetCurrentProcessId(), ".bak");
    std::wstring backupName = Win32Name(backupPath);
    // The replaced file stays as the backup until every output is in
    // place; it keeps the attributes and ACLs it gives the new file.
    if (!ReplaceFileW(targetName.c_str(), temp.win32().c_str(), backupName.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS,
                      nullptr, nullptr)) {
      const DWORD e = GetLastError();
      // The original was moved to the backup name but the new file could
      // not take its place: put the original back.
      if (e == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        MoveFileExW(backupName.c_str(), targetName.c_str(), MOVEFILE_WRITE_THROUGH);
      return Failed(Error::kFileWriteFailed, out.path, std::error_code(static_cast<int>(e), std::system_category()));
    }
    backup.Set(std::move(backupPath), std::move(backupName));
  } else if (!MoveFileExW(temp.win32().c_str(), targetName.c_str(), MOVEFILE_WRITE_THROUGH)) {
    return Failed(Error::kFileWriteFailed, out.path, LastError());
  }
  temp.Release();
  committed = true;
  return {};
}

void Pending::Rollback() noexcept {
  if (!committed) return;
  if (inPlace) {
    if (old.size() == oldSize) (void)Rewrite(file.get(), old);
    return;
  }
  try {
    const std::wstring targetName = Win32Name(target);
    if (!backup.empty() &&
        MoveFileExW(backup.win32().c_str(), targetName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      backup.Release();
    else if (!exists)
      DeleteFileW(targetName.c_str());
  } catch (...) {
    // No memory for the name: the new file stays, the backup is deleted.
  }
}

// Reads what is left of `h` into `data` (`expected` bytes for a file on disk,
// reserved up front), refusing more than `maxSize` bytes.
Error ReadRest(HANDLE h, std::size_t expected, std::uintmax_t maxSize, std::vector<std::uint8_t>& data) {
  data.reserve(expected);
  std::uint8_t chunk[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(h, chunk, sizeof chunk, &got, nullptr)) {
      // A pipe whose writer closed it has simply ended.
      if (GetLastError() == ERROR_BROKEN_PIPE) break;
      return Error::kFileUnreadable;
    }
    if (got == 0) break;
    if (data.size() + got > maxSize) return Error::kFileTooLarge;
    data.insert(data.end(), chunk, chunk + got);
  }
  return Error::kOk;
}

}  // namespace

// MoveFileExW and ReplaceFileW wrote through already: nothing is left to flush.
void FolderFlushes::Add(const fs::path&) {}
void FolderFlushes::Flush() {}

std::string WriteResult::Text() const {
  std::string text = ErrorText(error);
  if (!cause) return text;
  wchar_t* buf = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, static_cast<DWORD>(cause.value()), 0, reinterpret_cast<wchar_t*>(&buf),
                                 0, nullptr);
  // The buffer is the system's, freed with LocalFree even when copying it throws.
  struct LocalBuffer {
    wchar_t* p;
    ~LocalBuffer() {
      if (p) LocalFree(p);
    }
  } owned{buf};
  std::wstring_view reason(buf ? buf : L"", buf ? n : 0);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' ' ||
                             reason.back() == L'.'))
    reason.remove_suffix(1);
  if (reason.empty()) return text + ": error " + std::to_string(cause.value());
  return text + ": " + Utf8OfWide(reason);
}

WriteResult WriteFilesReplacing(std::span<const OutputFile> files, FolderFlushes* later) {
  return WriteAllOrNone<Pending>(files, later);
}

// A mapped file cannot be shortened here, and a copy keeps its bytes.
bool FileWatch::Intact() const noexcept { return true; }

void MappedFile::Release() noexcept {
  if (view_) UnmapViewOfFile(view_);
  view_ = nullptr;
}

Result<MappedFile> MappedFile::Open(const fs::path& path, std::uintmax_t maxSize) {
  const std::wstring name = Win32Name(path);
  UniqueHandle h(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.Valid()) {
    const DWORD e = GetLastError();
    if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME) return Error::kFileNotFound;
    // A folder opens only with backup semantics: its refusal says no more
    // than "access denied".
    const DWORD attrs = GetFileAttributesW(name.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) return Error::kIsFolder;
    return Error::kFileUnreadable;
  }
  // A console or a serial port would wait for typing: only files on disk
  // and pipes are read.
  const DWORD type = GetFileType(h.get());
  std::size_t expected = 0;
  if (type == FILE_TYPE_DISK) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h.get(), &size)) return Error::kFileUnreadable;
    if (static_cast<std::uintmax_t>(size.QuadPart) > maxSize) return Error::kFileTooLarge;
    expected = static_cast<std::size_t>(size.QuadPart);
    // An empty file cannot be mapped; it needs no mapping either.
    if (expected > 0) {
      // The view keeps the mapping alive; the mapping's own handle goes.
      const UniqueHandle mapping(CreateFileMappingW(h.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
      if (void* view = mapping.Valid() ? MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0) : nullptr) {
        MappedFile file;
        file.view_ = view;
        file.mapped_ = true;
        file.data_ = static_cast<const std::uint8_t*>(view);
        file.size_ = expected;
        return file;
      }
    }
  } else if (type != FILE_TYPE_PIPE) {
    return Error::kFileUnreadable;
  }
  std::vector<std::uint8_t> data;
  if (const Error e = ReadRest(h.get(), expected, maxSize, data); e != Error::kOk) return e;
  return MappedFile(std::move(data));
}

}  // namespace pg
