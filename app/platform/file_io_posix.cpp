// file_io.h with the POSIX calls. Every descriptor and folder stream is held
// by an owner that closes it, and every temporary or backup name by one
// that removes it, so a failure or an exception at any step leaves nothing
// behind.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <utility>

#include "platform/file_io.h"
#include "platform/file_io_shared.h"

namespace pg {
namespace fs = std::filesystem;
using namespace file_io;

namespace {

std::error_code LastError() { return std::error_code(errno, std::generic_category()); }

// Files from this size on are mapped (MappedFile::Open): below it, reading
// costs less than setting up and tearing down a mapping.
constexpr std::size_t kMapFrom = 64 * 1024;

class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) noexcept : fd_(fd) {}
  UniqueFd(UniqueFd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& o) noexcept {
    if (this != &o) {
      (void)Close();
      fd_ = std::exchange(o.fd_, -1);
    }
    return *this;
  }
  ~UniqueFd() { (void)Close(); }
  int get() const noexcept { return fd_; }
  bool Valid() const noexcept { return fd_ >= 0; }
  int Release() noexcept { return std::exchange(fd_, -1); }
  // Closes now; false when the system reports that buffered writes failed.
  bool Close() noexcept {
    if (fd_ < 0) return true;
    return ::close(std::exchange(fd_, -1)) == 0;
  }

 private:
  int fd_;
};

class UniqueDir {
 public:
  explicit UniqueDir(DIR* d) noexcept : dir_(d) {}
  UniqueDir(const UniqueDir&) = delete;
  UniqueDir& operator=(const UniqueDir&) = delete;
  ~UniqueDir() {
    if (dir_) closedir(dir_);
  }
  DIR* get() const noexcept { return dir_; }

 private:
  DIR* dir_;
};

// A name of ours (a temporary or a backup file), removed when the owner
// goes unless it was released (renamed into place, or back).
class OwnedName {
 public:
  OwnedName() = default;
  OwnedName(const OwnedName&) = delete;
  OwnedName& operator=(const OwnedName&) = delete;
  ~OwnedName() { Remove(); }
  void Set(fs::path p) {
    Remove();
    path_ = std::move(p);
  }
  const fs::path& path() const noexcept { return path_; }
  bool empty() const noexcept { return path_.empty(); }
  void Release() noexcept { path_.clear(); }
  void Remove() noexcept {
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
  }

 private:
  fs::path path_;
};

// Another process's file is never taken for a leftover: only the names of
// processes that no longer exist are removed.
void RemoveStaleTemporaries(const fs::path& folder) {
  UniqueDir dir(opendir(folder.c_str()));
  if (!dir.get()) return;
  while (const dirent* e = readdir(dir.get())) {
    const unsigned long pid = PidOfTempName(e->d_name);
    if (pid == 0 || pid == static_cast<unsigned long>(getpid()) || pid > 0x7FFFFFFFul) continue;
    if (kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH) unlinkat(dirfd(dir.get()), e->d_name, 0);
  }
}

void FlushFolder(const fs::path& folder) {
  UniqueFd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // Some file systems cannot flush a folder; the rename itself has happened.
  if (fd.Valid()) (void)fsync(fd.get());
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

// One output of a write.
struct Pending {
  OutputFile out;
  fs::path target;  // the file written (a symbolic link's final target)
  bool exists = false;
  struct stat st = {};
  OwnedName temp, backup;
  bool inPlace = false;  // hard-linked: rewritten through `fd`
  UniqueFd fd;
  std::vector<std::uint8_t> old;
  bool committed = false;

  WriteResult Prepare();
  // `undoable`: a later output of the same write could still fail, so the
  // replaced file must stay reachable to be put back.
  WriteResult Commit(bool undoable, FolderFlushes* later);
  void Rollback() noexcept;
};

WriteResult Pending::Prepare() {
  // Follow symbolic links to the file they name, as a write through the
  // link itself would.
  fs::path path = out.path;
  for (int hops = 0;; ++hops) {
    if (lstat(path.c_str(), &st) != 0) {
      if (errno != ENOENT) return Failed(Error::kFileWriteFailed, out.path, LastError());
      break;
    }
    if (!S_ISLNK(st.st_mode)) {
      exists = true;
      break;
    }
    if (hops == 40)
      return Failed(Error::kFileWriteFailed, out.path, std::make_error_code(std::errc::too_many_symbolic_link_levels));
    std::error_code ec;
    const fs::path link = fs::read_symlink(path, ec);
    if (ec) return Failed(Error::kFileWriteFailed, out.path, ec);
    path = link.is_absolute() ? link : FolderOf(path) / link;
  }
  target = path;
  if (exists) {
    if (!S_ISREG(st.st_mode)) return Failed(Error::kNotAFile, out.path);
    // Marked read-only, or not writable for this user: refused, whoever
    // runs the program.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
      return Failed(Error::kFileReadOnly, out.path, std::make_error_code(std::errc::permission_denied));
    if (access(path.c_str(), W_OK) != 0) return Failed(Error::kFileWriteFailed, out.path, LastError());
  }
  if (exists && st.st_nlink > 1) {
    inPlace = true;
    fd = UniqueFd(open(path.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd.Valid()) return Failed(Error::kFileWriteFailed, out.path, LastError());
    if (static_cast<std::uintmax_t>(st.st_size) <= kMaxRollbackCopy) {
      old.resize(static_cast<std::size_t>(st.st_size));
      std::size_t done = 0;
      while (done < old.size()) {
        const ssize_t n = pread(fd.get(), old.data() + done, old.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
      }
      old.resize(done);
    }
    return {};
  }

  const fs::path folder = FolderOf(path);
  RemoveStaleTemporaries(folder);
  UniqueFd file;
  for (int attempt = 0; attempt < 16 && !file.Valid(); ++attempt) {
    fs::path name = folder / TempName(static_cast<unsigned long>(getpid()), ".tmp");
    file = UniqueFd(open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : 0666));
    if (file.Valid()) {
      temp.Set(std::move(name));
    } else if (errno != EEXIST) {
      break;
    }
  }
  if (!file.Valid()) return Failed(Error::kFileWriteFailed, out.path, LastError());
  Step(WriteStep::kTemporaryCreated);
  if (exists) {
    // Owner first: changing it clears the set-id bits the mode then restores.
    if (fchown(file.get(), st.st_uid, st.st_gid) != 0) (void)fchown(file.get(), static_cast<uid_t>(-1), st.st_gid);
    if (fchmod(file.get(), st.st_mode & 07777) != 0) return Failed(Error::kFileWriteFailed, out.path, LastError());
  }
  if (!WriteAll(file.get(), out.data, 0) || fsync(file.get()) != 0 || !file.Close())
    return Failed(Error::kFileWriteFailed, out.path, LastError());
  Step(WriteStep::kTemporaryWritten);
  return {};
}

WriteResult Pending::Commit(bool undoable, FolderFlushes* later) {
  if (inPlace) {
    committed = true;  // from here on the file may hold part of the new bytes
    if (!WriteAll(fd.get(), out.data, 0) || ftruncate(fd.get(), static_cast<off_t>(out.data.size())) != 0 ||
        fsync(fd.get()) != 0)
      return Failed(Error::kFileWriteFailed, out.path, LastError());
    return {};
  }
  if (exists && undoable) {
    // A second name for the file being replaced, to undo with.
    fs::path name = FolderOf(target) / TempName(static_cast<unsigned long>(getpid()), ".bak");
    if (link(target.c_str(), name.c_str()) == 0) backup.Set(std::move(name));
  }
  if (rename(temp.path().c_str(), target.c_str()) != 0) return Failed(Error::kFileWriteFailed, out.path, LastError());
  temp.Release();
  committed = true;
  if (later)
    later->Add(FolderOf(target));
  else
    FlushFolder(FolderOf(target));
  return {};
}

void Pending::Rollback() noexcept {
  if (!committed) return;
  if (inPlace) {
    if (old.size() == static_cast<std::size_t>(st.st_size) && WriteAll(fd.get(), old, 0)) {
      (void)ftruncate(fd.get(), static_cast<off_t>(old.size()));
      (void)fsync(fd.get());
    }
    return;
  }
  if (!backup.empty() && rename(backup.path().c_str(), target.c_str()) == 0)
    backup.Release();
  else if (!exists)
    ::unlink(target.c_str());
  try {
    FlushFolder(FolderOf(target));
  } catch (...) {
    // The folder's name could not be made; the rename has happened.
  }
}

// Reads what is left of `fd` into `data` (`expected` bytes for a regular
// file, reserved up front), refusing more than `maxSize` bytes. A file
// that shrinks meanwhile simply ends sooner.
Error ReadRest(int fd, std::size_t expected, std::uintmax_t maxSize, std::vector<std::uint8_t>& data) {
  data.reserve(expected);
  std::uint8_t chunk[64 * 1024];
  for (;;) {
    // A regular file is read straight into its buffer; the chunk serves
    // pipes and a file that grows past its size.
    if (data.size() < expected) {
      const std::size_t at = data.size();
      data.resize(expected);
      const ssize_t n = read(fd, data.data() + at, expected - at);
      data.resize(at + (n > 0 ? static_cast<std::size_t>(n) : 0));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return Error::kFileUnreadable;
      if (n == 0) break;
      continue;
    }
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

WriteResult WriteFilesReplacing(std::span<const OutputFile> files, FolderFlushes* later) {
  return WriteAllOrNone<Pending>(files, later);
}

// Mapped files, and the signal the system raises when a reader touches a
// page of one that another program has shortened past it. Each mapping has
// a slot here; the handler puts a page of zeros in place of the missing
// one, notes the slot's file as shortened and lets the read go on, so the
// reader finishes on bytes its checks already handle and the caller, told
// by Intact(), drops the result. A signal for any other address goes to
// whatever handled it before. The handler reads the slots without locks,
// so they are atomics in static storage; more files mapped at once than
// there are slots are read instead.
//
// A file shortened to within a page raises no signal for that page: the
// system shows zeros past the new end. So a slot also keeps the file open,
// and Intact() compares its size now with the size that was mapped.
namespace {

struct WatchSlot {
  std::atomic<bool> taken{false};
  std::atomic<std::uintptr_t> begin{0};
  std::atomic<std::uintptr_t> end{0};  // 0 while the slot is set up or given back
  std::atomic<bool> shortened{false};
  int fd = -1;  // the mapped file, owned by the slot while it is taken
};

constexpr int kWatchSlots = 256;
WatchSlot g_watchSlots[kWatchSlots];
std::uintptr_t g_pageSize = 0;
struct sigaction g_previousBusHandler {};

void PassBusErrorOn(int signal, siginfo_t* info, void* context) {
  const struct sigaction& previous = g_previousBusHandler;
  if (previous.sa_flags & SA_SIGINFO) {
    previous.sa_sigaction(signal, info, context);
  } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
    previous.sa_handler(signal);
  } else {
    // The access faults again on return and the signal then does what it
    // would have done without this handler: it ends the program.
    ::signal(signal, SIG_DFL);
  }
}

void OnBusError(int signal, siginfo_t* info, void* context) {
  const int savedErrno = errno;
  const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (WatchSlot& slot : g_watchSlots) {
    if (at >= slot.end.load(std::memory_order_acquire) || at < slot.begin.load(std::memory_order_acquire)) continue;
    void* page = reinterpret_cast<void*>(at & ~(g_pageSize - 1));
    if (mmap(page, g_pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED) break;
    slot.shortened.store(true, std::memory_order_release);
    errno = savedErrno;
    return;
  }
  errno = savedErrno;
  PassBusErrorOn(signal, info, context);
}

// Installs the handler on first use; false where the system refuses it, and
// files are then read, not mapped.
bool BusErrorHandlerInstalled() {
  static std::once_flag once;
  static bool installed = false;
  std::call_once(once, [] {
    const long page = sysconf(_SC_PAGESIZE);
    if (page <= 0) return;
    g_pageSize = static_cast<std::uintptr_t>(page);
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    installed = sigaction(SIGBUS, &action, &g_previousBusHandler) == 0;
  });
  return installed;
}

bool ShorterThanMapped(const WatchSlot& slot) noexcept {
  const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
  const std::uintptr_t end = slot.end.load(std::memory_order_acquire);
  struct stat st;
  if (end == 0 || fstat(slot.fd, &st) != 0) return false;
  return static_cast<std::uintmax_t>(st.st_size) < end - begin;
}

// A free slot for the mapping [begin, begin + size) of the file open as
// `fd`, which the slot then owns; -1 when there is none (`fd` stays with the
// caller).
int TakeWatchSlot(const void* begin, std::size_t size, UniqueFd& fd) noexcept {
  for (int i = 0; i < kWatchSlots; ++i) {
    WatchSlot& slot = g_watchSlots[i];
    bool expected = false;
    if (!slot.taken.compare_exchange_strong(expected, true, std::memory_order_acq_rel)) continue;
    const auto at = reinterpret_cast<std::uintptr_t>(begin);
    slot.shortened.store(false, std::memory_order_relaxed);
    slot.fd = fd.Release();
    slot.begin.store(at, std::memory_order_release);
    slot.end.store(at + size, std::memory_order_release);
    return i;
  }
  return -1;
}

// Whether the slot's file was found shortened stays readable until the
// slot is taken again.
void GiveBackWatchSlot(int i) noexcept {
  WatchSlot& slot = g_watchSlots[i];
  if (ShorterThanMapped(slot)) slot.shortened.store(true, std::memory_order_release);
  UniqueFd closing(std::exchange(slot.fd, -1));
  slot.end.store(0, std::memory_order_release);
  slot.begin.store(0, std::memory_order_release);
  slot.taken.store(false, std::memory_order_release);
}

}  // namespace

bool FileWatch::Intact() const noexcept {
  if (slot_ < 0) return true;
  const WatchSlot& slot = g_watchSlots[slot_];
  return !slot.shortened.load(std::memory_order_acquire) && !ShorterThanMapped(slot);
}

void MappedFile::Release() noexcept {
  if (view_) {
    if (watchSlot_ >= 0) GiveBackWatchSlot(watchSlot_);
    munmap(view_, viewSize_);
  }
  view_ = nullptr;
  viewSize_ = 0;
}

Result<MappedFile> MappedFile::Open(const fs::path& path, std::uintmax_t maxSize) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return errno == ENOENT || errno == ENOTDIR ? Error::kFileNotFound : Error::kFileUnreadable;
  struct stat st;
  if (fstat(fd.get(), &st) != 0) return Error::kFileUnreadable;
  if (S_ISDIR(st.st_mode)) return Error::kIsFolder;
  // A terminal or a device would wait for typing or never end: only regular
  // files and pipes are read.
  if (!(S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode))) return Error::kFileUnreadable;
  std::size_t expected = 0;
  if (S_ISREG(st.st_mode)) {
    if (static_cast<std::uintmax_t>(st.st_size) > maxSize) return Error::kFileTooLarge;
    expected = static_cast<std::size_t>(st.st_size);
  }
  if (expected >= kMapFrom && BusErrorHandlerInstalled()) {
    void* view = mmap(nullptr, expected, PROT_READ, MAP_PRIVATE, fd.get(), 0);
    if (view != MAP_FAILED) {
      MappedFile file;
      file.view_ = view;
      file.viewSize_ = expected;
      file.watchSlot_ = TakeWatchSlot(view, expected, fd);
      if (file.watchSlot_ >= 0) {
        file.mapped_ = true;
        file.data_ = static_cast<const std::uint8_t*>(view);
        file.size_ = expected;
        return file;
      }
      // No slot to watch it from: read like a small file.
    }
  }
  std::vector<std::uint8_t> data;
  if (const Error e = ReadRest(fd.get(), expected, maxSize, data); e != Error::kOk) return e;
  return MappedFile(std::move(data));
}

}  // namespace pg
