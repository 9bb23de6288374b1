// The parts of file_io.h that need no system call.
#include "platform/file_io.h"

#include <cstdio>
#include <new>
#include <random>
#include <utility>

#include "platform/file_io_shared.h"

namespace pg {
namespace file_io {
namespace {

constexpr char kTempPrefix[] = ".pairglyph-";
WriteStepHook g_hook = nullptr;

}  // namespace

std::string TempName(unsigned long pid, const char* suffix) {
  static std::random_device rd;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s%lu-%08x%s", kTempPrefix, pid, static_cast<unsigned>(rd()), suffix);
  return buf;
}

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

void Step(WriteStep step) {
  if (g_hook) g_hook(step);
}

}  // namespace file_io

void SetWriteStepHookForTests(WriteStepHook hook) noexcept { file_io::g_hook = hook; }

MappedFile::MappedFile(std::vector<std::uint8_t> bytes) noexcept
    : data_(bytes.data()), size_(bytes.size()), copy_(std::move(bytes)) {}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      view_(std::exchange(other.view_, nullptr)),
      viewSize_(std::exchange(other.viewSize_, 0)),
      mapped_(std::exchange(other.mapped_, false)),
      watchSlot_(std::exchange(other.watchSlot_, -1)),
      copy_(std::move(other.copy_)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    view_ = std::exchange(other.view_, nullptr);
    viewSize_ = std::exchange(other.viewSize_, 0);
    mapped_ = std::exchange(other.mapped_, false);
    watchSlot_ = std::exchange(other.watchSlot_, -1);
    copy_ = std::move(other.copy_);
  }
  return *this;
}

MappedFile::~MappedFile() { Release(); }

FileWatch MappedFile::Watch() const noexcept {
  FileWatch watch;
  watch.slot_ = watchSlot_;
  return watch;
}

Error WriteFileReplacing(const std::filesystem::path& path, Bytes data) {
  const OutputFile file{path, data};
  return WriteFilesReplacing(std::span<const OutputFile>(&file, 1)).error;
}

// A copy of the file's bytes, read the way MappedFile reads them.
Result<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path, std::uintmax_t maxSize) {
  auto file = MappedFile::Open(path, maxSize);
  if (!file) return file.error();
  const Bytes bytes = file->Data();
  std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
  if (!file->Intact()) return Error::kFileUnreadable;
  return copy;
}

}  // namespace pg
