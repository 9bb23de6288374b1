// Reading and writing whole files, with one implementation per system: the
// POSIX calls, and on Windows the Win32 file calls (ReplaceFileW keeps the
// replaced file's attributes and ACLs, and `\\?\` names reach past MAX_PATH).
// <windows.h> stays inside this file; the header is portable.
#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <utility>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pg {
namespace fs = std::filesystem;

namespace {

constexpr char kTempPrefix[] = ".pairglyph-";

// "<prefix><pid>-<8 hex digits><suffix>": short whatever the target's name.
std::string TempName(unsigned long pid, const char* suffix) {
  static std::random_device rd;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s%lu-%08x%s", kTempPrefix, pid, static_cast<unsigned>(rd()), suffix);
  return buf;
}

// The process id in a temporary name of ours, or 0.
unsigned long PidOfTempName(const std::string& name) {
  const std::size_t prefix = sizeof kTempPrefix - 1;
  if (name.compare(0, prefix, kTempPrefix) != 0) return 0;
  const bool ours = name.size() > 4 && (name.ends_with(".tmp") || name.ends_with(".bak"));
  if (!ours) return 0;
  unsigned long pid = 0;
  std::size_t i = prefix;
  for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && pid < 0xFFFFFFFFul; ++i)
    pid = pid * 10 + static_cast<unsigned long>(name[i] - '0');
  return i < name.size() && name[i] == '-' ? pid : 0;
}

fs::path FolderOf(const fs::path& p) { return p.has_parent_path() ? p.parent_path() : fs::path("."); }

// A hard-linked file is rewritten in place (a new file would leave its other
// names behind with the old bytes); it keeps its old bytes in memory up to
// this size, to put them back when another output of the same write fails.
constexpr std::uintmax_t kMaxRollbackCopy = 64 * 1024 * 1024;

WriteResult Failed(Error e, const fs::path& file, std::error_code cause = {}) {
  return WriteResult{e, cause, file};
}

}  // namespace

#ifdef _WIN32
// ---------------------------------------------------------------- Windows

namespace {

std::error_code LastError() {
  return std::error_code(static_cast<int>(GetLastError()), std::system_category());
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

struct Handle {
  HANDLE h = INVALID_HANDLE_VALUE;
  explicit Handle(HANDLE v) : h(v) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { if (h != INVALID_HANDLE_VALUE) CloseHandle(h); }
  bool Valid() const { return h != INVALID_HANDLE_VALUE; }
};

bool ProcessGone(unsigned long pid) {
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (h) { CloseHandle(h); return false; }
  return GetLastError() == ERROR_INVALID_PARAMETER;
}

void RemoveStaleTemporaries(const fs::path& folder) {
  WIN32_FIND_DATAW found;
  const std::wstring pattern = Win32Name(folder / ".pairglyph-*");
  HANDLE find = FindFirstFileW(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = fs::path(found.cFileName).string();
    const unsigned long pid = PidOfTempName(name);
    if (pid != 0 && pid != GetCurrentProcessId() && ProcessGone(pid))
      DeleteFileW(Win32Name(folder / found.cFileName).c_str());
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

struct Pending {
  OutputFile out;
  fs::path target;  // the file written (a symbolic link's final target)
  bool exists = false;
  fs::path temp, backup;
  bool inPlace = false;  // hard-linked: rewritten through `file`
  HANDLE file = INVALID_HANDLE_VALUE;
  std::uint64_t oldSize = 0;
  std::vector<std::uint8_t> old;
  bool committed = false;
};

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

// A target with other names is opened to be rewritten in place, its old
// bytes kept for a rollback; false when it has one name (or cannot be
// opened so, and the replace reports why).
bool OpenHardLinked(Pending& p) {
  HANDLE h = CreateFileW(Win32Name(p.target).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info) || info.nNumberOfLinks < 2) {
    CloseHandle(h);
    return false;
  }
  p.inPlace = true;
  p.file = h;
  p.oldSize = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  if (p.oldSize <= kMaxRollbackCopy) {
    p.old.resize(static_cast<std::size_t>(p.oldSize));
    std::size_t done = 0;
    while (done < p.old.size()) {
      DWORD got = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(p.old.size() - done, 1u << 30));
      if (!ReadFile(h, p.old.data() + done, chunk, &got, nullptr) || got == 0) break;
      done += got;
    }
    p.old.resize(done);
  }
  return true;
}

WriteResult Prepare(Pending& p) {
  p.target = p.out.path;
  const std::wstring name = Win32Name(p.target);
  const DWORD attrs = GetFileAttributesW(name.c_str());
  if (attrs != INVALID_FILE_ATTRIBUTES) {
    p.exists = true;
    if (attrs & FILE_ATTRIBUTE_DIRECTORY) return Failed(Error::kNotAFile, p.out.path);
    if (attrs & FILE_ATTRIBUTE_READONLY)
      return Failed(Error::kFileReadOnly, p.out.path, std::error_code(ERROR_ACCESS_DENIED, std::system_category()));
    if (attrs & FILE_ATTRIBUTE_REPARSE_POINT) {
      Handle h(CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!h.Valid()) return Failed(Error::kFileWriteFailed, p.out.path, LastError());
      wchar_t buf[32768];
      const DWORD n = GetFinalPathNameByHandleW(h.h, buf, 32768, FILE_NAME_NORMALIZED);
      if (n == 0 || n >= 32768) return Failed(Error::kFileWriteFailed, p.out.path, LastError());
      p.target = fs::path(std::wstring(buf, n));
    }
  } else {
    const DWORD e = GetLastError();
    if (e != ERROR_FILE_NOT_FOUND)
      return Failed(Error::kFileWriteFailed, p.out.path, std::error_code(static_cast<int>(e), std::system_category()));
  }
  if (p.exists && OpenHardLinked(p)) return {};
  const fs::path folder = FolderOf(p.target);
  RemoveStaleTemporaries(folder);
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 16 && file == INVALID_HANDLE_VALUE; ++attempt) {
    p.temp = folder / TempName(GetCurrentProcessId(), ".tmp");
    file = CreateFileW(Win32Name(p.temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    const auto cause = LastError();
    p.temp.clear();
    return Failed(Error::kFileWriteFailed, p.out.path, cause);
  }
  Handle h(file);
  if (!WriteAll(h.h, p.out.data) || !FlushFileBuffers(h.h))
    return Failed(Error::kFileWriteFailed, p.out.path, LastError());
  return {};
}

// Always with a backup name: without one, a replacement that cannot be
// moved into place leaves the original under no name at all.
WriteResult Commit(Pending& p, bool /*undoable*/, FolderFlushes* /*later*/) {
  if (p.inPlace) {
    p.committed = true;  // from here on the file may hold part of the new bytes
    if (!Rewrite(p.file, p.out.data)) return Failed(Error::kFileWriteFailed, p.out.path, LastError());
    return {};
  }
  const std::wstring target = Win32Name(p.target), temp = Win32Name(p.temp);
  if (p.exists) {
    p.backup = FolderOf(p.target) / TempName(GetCurrentProcessId(), ".bak");
    const std::wstring backup = Win32Name(p.backup);
    // The replaced file stays as the backup until every output is in
    // place; it keeps the attributes and ACLs it gives the new file.
    if (!ReplaceFileW(target.c_str(), temp.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                      nullptr)) {
      const DWORD e = GetLastError();
      // The original was moved to the backup name but the new file could
      // not take its place: put the original back.
      if (e == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
      p.backup.clear();
      return Failed(Error::kFileWriteFailed, p.out.path, std::error_code(static_cast<int>(e), std::system_category()));
    }
  } else if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
    return Failed(Error::kFileWriteFailed, p.out.path, LastError());
  }
  p.temp.clear();
  p.committed = true;
  return {};
}

void Rollback(Pending& p) {
  if (!p.committed) return;
  if (p.inPlace) {
    if (p.old.size() == p.oldSize) (void)Rewrite(p.file, p.old);
    return;
  }
  if (!p.backup.empty() &&
      MoveFileExW(Win32Name(p.backup).c_str(), Win32Name(p.target).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    p.backup.clear();
  else if (!p.exists)
    DeleteFileW(Win32Name(p.target).c_str());
}

void Cleanup(Pending& p) {
  if (!p.temp.empty()) DeleteFileW(Win32Name(p.temp).c_str());
  if (!p.backup.empty()) DeleteFileW(Win32Name(p.backup).c_str());
  if (p.file != INVALID_HANDLE_VALUE) CloseHandle(p.file);
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
  std::wstring reason(buf ? buf : L"", n);
  if (buf) LocalFree(buf);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' ' ||
                             reason.back() == L'.'))
    reason.pop_back();
  if (reason.empty()) return text + ": error " + std::to_string(cause.value());
  const auto u8 = fs::path(reason).u8string();
  return text + ": " + std::string(u8.begin(), u8.end());
}

namespace {

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

void MappedFile::Release() noexcept {
  if (view_) UnmapViewOfFile(view_);
  view_ = nullptr;
}

Result<MappedFile> MappedFile::Open(const fs::path& path, std::uintmax_t maxSize) {
  Handle h(CreateFileW(Win32Name(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.Valid()) {
    const DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME ? Error::kFileNotFound
                                                                                              : Error::kFileUnreadable;
  }
  // A console or a serial port would wait for typing: only files on disk
  // and pipes are read.
  const DWORD type = GetFileType(h.h);
  std::size_t expected = 0;
  if (type == FILE_TYPE_DISK) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h.h, &size)) return Error::kFileUnreadable;
    if (static_cast<std::uintmax_t>(size.QuadPart) > maxSize) return Error::kFileTooLarge;
    expected = static_cast<std::size_t>(size.QuadPart);
    // An empty file cannot be mapped; it needs no mapping either.
    if (expected > 0) {
      if (HANDLE mapping = CreateFileMappingW(h.h, nullptr, PAGE_READONLY, 0, 0, nullptr)) {
        void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
        CloseHandle(mapping);  // the view keeps the mapping alive
        if (view) {
          MappedFile file;
          file.view_ = view;
          file.data_ = static_cast<const std::uint8_t*>(view);
          file.size_ = expected;
          return file;
        }
      }
    }
  } else if (type != FILE_TYPE_PIPE) {
    return Error::kFileUnreadable;
  }
  std::vector<std::uint8_t> data;
  if (const Error e = ReadRest(h.h, expected, maxSize, data); e != Error::kOk) return e;
  return MappedFile(std::move(data));
}

#else
// ---------------------------------------------------------------- POSIX

namespace {

std::error_code LastError() { return std::error_code(errno, std::generic_category()); }

// Another process's file is never taken for a leftover: only the names of
// processes that no longer exist are removed.
void RemoveStaleTemporaries(const fs::path& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* e = readdir(dir)) {
    const unsigned long pid = PidOfTempName(e->d_name);
    if (pid == 0 || pid == static_cast<unsigned long>(getpid()) || pid > 0x7FFFFFFFul) continue;
    if (kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH) unlinkat(dirfd(dir), e->d_name, 0);
  }
  closedir(dir);
}

void FlushFolder(const fs::path& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // Some file systems cannot flush a folder; the rename itself has happened.
  (void)fsync(fd);
  close(fd);
}

bool WriteAll(int fd, Bytes data, off_t at) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = pwrite(fd, data.data() + done, data.size() - done, at + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

struct Pending {
  OutputFile out;
  fs::path target;  // the file written (a symbolic link's final target)
  bool exists = false;
  struct stat st = {};
  fs::path temp, backup;
  bool inPlace = false;  // hard-linked: rewritten through `fd`
  int fd = -1;
  std::vector<std::uint8_t> old;
  bool committed = false;
};

WriteResult Prepare(Pending& p) {
  // Follow symbolic links to the file they name, as a write through the
  // link itself would.
  fs::path path = p.out.path;
  for (int hops = 0;; ++hops) {
    if (lstat(path.c_str(), &p.st) != 0) {
      if (errno != ENOENT) return Failed(Error::kFileWriteFailed, p.out.path, LastError());
      break;
    }
    if (!S_ISLNK(p.st.st_mode)) {
      p.exists = true;
      break;
    }
    if (hops == 40) return Failed(Error::kFileWriteFailed, p.out.path, std::make_error_code(std::errc::too_many_symbolic_link_levels));
    std::error_code ec;
    const fs::path link = fs::read_symlink(path, ec);
    if (ec) return Failed(Error::kFileWriteFailed, p.out.path, ec);
    path = link.is_absolute() ? link : FolderOf(path) / link;
  }
  p.target = path;
  if (p.exists) {
    if (!S_ISREG(p.st.st_mode)) return Failed(Error::kNotAFile, p.out.path);
    // Marked read-only, or not writable for this user: refused, whoever
    // runs the program.
    if ((p.st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
      return Failed(Error::kFileReadOnly, p.out.path, std::make_error_code(std::errc::permission_denied));
    if (access(path.c_str(), W_OK) != 0) return Failed(Error::kFileWriteFailed, p.out.path, LastError());
  }
  if (p.exists && p.st.st_nlink > 1) {
    p.inPlace = true;
    p.fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (p.fd < 0) return Failed(Error::kFileWriteFailed, p.out.path, LastError());
    if (static_cast<std::uintmax_t>(p.st.st_size) <= kMaxRollbackCopy) {
      p.old.resize(static_cast<std::size_t>(p.st.st_size));
      std::size_t done = 0;
      while (done < p.old.size()) {
        const ssize_t n = pread(p.fd, p.old.data() + done, p.old.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
      }
      p.old.resize(done);
    }
    return {};
  }

  const fs::path folder = FolderOf(path);
  RemoveStaleTemporaries(folder);
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    p.temp = folder / TempName(static_cast<unsigned long>(getpid()), ".tmp");
    fd = open(p.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, p.exists ? 0600 : 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    const auto cause = LastError();
    p.temp.clear();
    return Failed(Error::kFileWriteFailed, p.out.path, cause);
  }
  bool ok = true;
  std::error_code cause;
  if (p.exists) {
    // Owner first: changing it clears the set-id bits the mode then restores.
    if (fchown(fd, p.st.st_uid, p.st.st_gid) != 0) (void)fchown(fd, static_cast<uid_t>(-1), p.st.st_gid);
    if (fchmod(fd, p.st.st_mode & 07777) != 0) { ok = false; cause = LastError(); }
  }
  if (ok && !WriteAll(fd, p.out.data, 0)) { ok = false; cause = LastError(); }
  if (ok && fsync(fd) != 0) { ok = false; cause = LastError(); }
  if (close(fd) != 0 && ok) { ok = false; cause = LastError(); }
  if (!ok) return Failed(Error::kFileWriteFailed, p.out.path, cause);
  return {};
}

// `undoable`: a later output of the same write could still fail, so the
// replaced file must stay reachable to be put back.
WriteResult Commit(Pending& p, bool undoable, FolderFlushes* later) {
  if (p.inPlace) {
    p.committed = true;  // from here on the file may hold part of the new bytes
    if (!WriteAll(p.fd, p.out.data, 0) || ftruncate(p.fd, static_cast<off_t>(p.out.data.size())) != 0 ||
        fsync(p.fd) != 0)
      return Failed(Error::kFileWriteFailed, p.out.path, LastError());
    return {};
  }
  if (p.exists && undoable) {
    // A second name for the file being replaced, to undo with.
    const fs::path backup = FolderOf(p.target) / TempName(static_cast<unsigned long>(getpid()), ".bak");
    if (link(p.target.c_str(), backup.c_str()) == 0) p.backup = backup;
  }
  if (rename(p.temp.c_str(), p.target.c_str()) != 0) return Failed(Error::kFileWriteFailed, p.out.path, LastError());
  p.temp.clear();
  p.committed = true;
  if (later)
    later->Add(FolderOf(p.target));
  else
    FlushFolder(FolderOf(p.target));
  return {};
}

void Rollback(Pending& p) {
  if (!p.committed) return;
  if (p.inPlace) {
    if (p.old.size() == static_cast<std::size_t>(p.st.st_size) && WriteAll(p.fd, p.old, 0)) {
      (void)ftruncate(p.fd, static_cast<off_t>(p.old.size()));
      (void)fsync(p.fd);
    }
    return;
  }
  if (!p.backup.empty() && rename(p.backup.c_str(), p.target.c_str()) == 0)
    p.backup.clear();
  else if (!p.exists)
    unlink(p.target.c_str());
  FlushFolder(FolderOf(p.target));
}

void Cleanup(Pending& p) {
  if (!p.temp.empty()) unlink(p.temp.c_str());
  if (!p.backup.empty()) unlink(p.backup.c_str());
  if (p.fd >= 0) close(p.fd);
}

}  // namespace

void FolderFlushes::Add(const fs::path& folder) { folders_.insert(folder); }

void FolderFlushes::Flush() {
  for (const fs::path& folder : folders_) FlushFolder(folder);
  folders_.clear();
}

std::string WriteResult::Text() const {
  std::string text = ErrorText(error);
  if (cause) text += ": " + cause.message();
  return text;
}

namespace {

// Reads what is left of `fd` into `data` (`expected` bytes for a regular
// file, reserved up front), refusing more than `maxSize` bytes.
Error ReadRest(int fd, std::size_t expected, std::uintmax_t maxSize, std::vector<std::uint8_t>& data) {
  data.reserve(expected);
  std::uint8_t chunk[64 * 1024];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Error::kFileUnreadable;
    if (n == 0) break;
    if (data.size() + static_cast<std::size_t>(n) > maxSize) return Error::kFileTooLarge;
    data.insert(data.end(), chunk, chunk + n);
  }
  return Error::kOk;
}

}  // namespace

void MappedFile::Release() noexcept {
  if (view_) munmap(view_, size_);
  view_ = nullptr;
}

Result<MappedFile> MappedFile::Open(const fs::path& path, std::uintmax_t maxSize) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? Error::kFileNotFound : Error::kFileUnreadable;
  struct stat st;
  // A terminal or a device would wait for typing or never end: only regular
  // files and pipes are read.
  if (fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode))) {
    close(fd);
    return Error::kFileUnreadable;
  }
  std::size_t expected = 0;
  if (S_ISREG(st.st_mode)) {
    if (static_cast<std::uintmax_t>(st.st_size) > maxSize) {
      close(fd);
      return Error::kFileTooLarge;
    }
    expected = static_cast<std::size_t>(st.st_size);
    // An empty file cannot be mapped; it needs no mapping either.
    void* view = expected > 0 ? mmap(nullptr, expected, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
    if (view != MAP_FAILED) {
      close(fd);  // the mapping keeps the file
      MappedFile file;
      file.view_ = view;
      file.data_ = static_cast<const std::uint8_t*>(view);
      file.size_ = expected;
      return file;
    }
  }
  std::vector<std::uint8_t> data;
  const Error e = ReadRest(fd, expected, maxSize, data);
  close(fd);
  if (e != Error::kOk) return e;
  return MappedFile(std::move(data));
}

#endif

MappedFile::MappedFile(std::vector<std::uint8_t> bytes) noexcept
    : data_(bytes.data()), size_(bytes.size()), copy_(std::move(bytes)) {}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      view_(std::exchange(other.view_, nullptr)),
      copy_(std::move(other.copy_)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    view_ = std::exchange(other.view_, nullptr);
    copy_ = std::move(other.copy_);
  }
  return *this;
}

MappedFile::~MappedFile() { Release(); }

WriteResult WriteFilesReplacing(std::span<const OutputFile> files, FolderFlushes* later) {
  std::vector<Pending> pending(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) pending[i].out = files[i];
  WriteResult result;
  for (Pending& p : pending) {
    result = Prepare(p);
    if (!result.ok()) break;
  }
  if (result.ok()) {
    for (std::size_t i = 0; i < pending.size(); ++i) {
      result = Commit(pending[i], i + 1 < pending.size(), later);
      if (!result.ok()) break;
    }
    if (!result.ok())
      for (auto it = pending.rbegin(); it != pending.rend(); ++it) Rollback(*it);
  }
  for (Pending& p : pending) Cleanup(p);
  return result;
}

Error WriteFileReplacing(const fs::path& path, Bytes data) {
  const OutputFile file{path, data};
  return WriteFilesReplacing(std::span<const OutputFile>(&file, 1)).error;
}

// A copy of the file's bytes, read the way MappedFile reads them.
Result<std::vector<std::uint8_t>> ReadFileBytes(const fs::path& path, std::uintmax_t maxSize) {
  auto file = MappedFile::Open(path, maxSize);
  if (!file) return file.error();
  const Bytes bytes = file->Data();
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace pg
