// Reading and writing whole files. The codecs work on bytes in memory; this
// is the thin layer between them and the disk, and the only code that calls
// the system's file functions: one implementation for POSIX
// (file_io_posix.cpp) and one for Win32 (file_io_win32.cpp) behind this
// portable header.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "imaging/byte_reader.h"
#include "imaging/result.h"

namespace pg {

// The largest file any reader takes in. The system's largest icon
// libraries hold a few tens of megabytes; refusing larger files keeps a
// stray multi-gigabyte drop from exhausting memory, and together with the
// readers' own limits keeps any one input within 256 MB.
inline constexpr std::uintmax_t kMaxInputFileSize = 128u * 1024u * 1024u;

// The whole file, read into a buffer of exactly its size; kFileUnreadable
// when it was shortened while it was read.
Result<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path,
                                                std::uintmax_t maxSize = kMaxInputFileSize);

// Whether the bytes of a mapped file are still the file's own. Copyable, so
// that it can be asked after the file has moved into the reader that keeps
// it. Valid while that MappedFile lives; once it is gone, it still tells
// how the file was left until another file is mapped.
class FileWatch {
 public:
  // False once a look at the bytes found the file shorter than when it was
  // mapped: those pages then read as zeros, and whatever was made of the
  // bytes since is no picture of the file.
  bool Intact() const noexcept;
  // Whether the file can be shortened under its reader at all.
  bool Watched() const noexcept { return slot_ >= 0; }

 private:
  friend class MappedFile;
  int slot_ = -1;
};

// A file's bytes for the readers, mapped into memory read only where the
// file is large enough for it to pay, so a reader touches the pages it
// parses and no others: a 15 MB library is listed without reading its 15 MB.
// On Windows the system refuses to shorten a file while a view of it
// exists. On POSIX another program may shorten it meanwhile; a page past the
// new end then reads as zeros instead of ending the program (SIGBUS), and
// Intact() turns false, so the caller drops what it made of the bytes. Small
// files, pipes and files that cannot be mapped are read into memory, up to
// the same limit; a file shortened while it is read gives fewer bytes, which
// the readers call damaged. Spans into Data() stay valid while the object
// lives; moving it keeps them valid.
class MappedFile {
 public:
  MappedFile() = default;
  // Bytes already in memory, owned.
  explicit MappedFile(std::vector<std::uint8_t> bytes) noexcept;
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  Bytes Data() const noexcept { return {data_, size_}; }
  // Whether the bytes are a view of the file itself rather than a copy.
  bool Mapped() const noexcept { return mapped_; }
  bool Intact() const noexcept { return Watch().Intact(); }
  FileWatch Watch() const noexcept;

  // Maps or reads `path`; the errors of ReadFileBytes: kFileNotFound,
  // kIsFolder for a folder, kFileUnreadable for a device or a failed read,
  // kFileTooLarge past `maxSize`.
  static Result<MappedFile> Open(const std::filesystem::path& path, std::uintmax_t maxSize = kMaxInputFileSize);

 private:
  void Release() noexcept;

  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  void* view_ = nullptr;              // the system's view of the file, when mapped
  std::size_t viewSize_ = 0;          // its extent
  bool mapped_ = false;               // view_ maps the file
  int watchSlot_ = -1;                // where a shortened file is noticed (POSIX)
  std::vector<std::uint8_t> copy_;    // the bytes, when there is no view
};

// What became of a write: kOk, or the core's error, the system's own reason
// and the file it concerns.
struct WriteResult {
  Error error = Error::kOk;
  std::error_code cause;       // empty when the system gave no reason
  std::filesystem::path file;  // the output the failure concerns
  bool ok() const noexcept { return error == Error::kOk; }
  // "file cannot be written: Permission denied": the core's sentence, then
  // the system's reason in the system's language (UTF-8), without a full stop.
  std::string Text() const;
};

struct OutputFile {
  std::filesystem::path path;
  Bytes data;
};

// Writes several files as one: each goes to a temporary file in its
// target's folder, is flushed to disk and gets the target's permissions
// (and owner, where the system allows); only when every file is written are
// they put in place, each with one rename (POSIX) or ReplaceFileW / MoveFileExW
// with write-through (Windows), after which the folder is flushed. When one
// cannot be put in place, the ones already replaced get their old files
// back, so either all targets change or none.
//
// A target that is a symbolic link is written through to the file it names.
// A target with further hard links is rewritten in place, so every name keeps
// seeing the same file. A target without any write permission, or marked
// read-only, is refused, as the system's own copy tools refuse it.
//
// Temporary files are named ".pairglyph-<process id>-<random>.tmp", short
// enough for any folder's name limit; such files that a killed run left
// behind in a target's folder are removed by the next write there.
//
// With `later`, the folders are not flushed here but noted there, for one
// flush of each folder after many writes (a batch): until then a crash may
// forget a rename, but never loses a file, since its new bytes were on the
// disk before the rename.
class FolderFlushes;
WriteResult WriteFilesReplacing(std::span<const OutputFile> files, FolderFlushes* later = nullptr);

// Folders whose renames are still to be flushed to the disk; flushed by
// Flush() or at the end.
class FolderFlushes {
 public:
  FolderFlushes() = default;
  FolderFlushes(const FolderFlushes&) = delete;
  FolderFlushes& operator=(const FolderFlushes&) = delete;
  ~FolderFlushes() { Flush(); }
  void Add(const std::filesystem::path& folder);
  void Flush();

 private:
  std::set<std::filesystem::path> folders_;
};

// One file; the error alone.
Error WriteFileReplacing(const std::filesystem::path& path, Bytes data);

// The steps of WriteFilesReplacing for each output, for tests that make a
// step fail: a hook set here is called at each of them and may throw
// std::bad_alloc, as a failed allocation at that point would. Whatever step
// fails, no temporary file or open handle is left behind and the targets
// keep their old contents; the write gives kOutOfMemory. Not for use
// outside tests: the hook is one for the whole process.
enum class WriteStep {
  kTemporaryCreated,  // the temporary file exists, still empty
  kTemporaryWritten,  // the new bytes are in it, on the disk
  kReplacing,         // about to put this output in place
  kReplaced,          // this output is in place and another is still to come
};
using WriteStepHook = void (*)(WriteStep);
void SetWriteStepHookForTests(WriteStepHook hook) noexcept;

}  // namespace pg
