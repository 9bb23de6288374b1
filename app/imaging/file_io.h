// Reading and writing whole files. The codecs work on bytes in memory; this
// is the thin layer between them and the disk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "byte_reader.h"
#include "result.h"

namespace pg {

// The largest file any reader takes in. The system's largest icon
// libraries hold a few tens of megabytes; refusing larger files keeps a
// stray multi-gigabyte drop from exhausting memory, and together with the
// readers' own limits keeps any one input within 256 MB.
inline constexpr std::uintmax_t kMaxInputFileSize = 128u * 1024u * 1024u;

// The whole file, read into a buffer of exactly its size.
Result<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path,
                                                std::uintmax_t maxSize = kMaxInputFileSize);

// A file's bytes without a copy: the file mapped into memory, read only, so
// a reader touches the pages it parses and no others. Where a file cannot be
// mapped (a pipe, a device, a file system without mappings) its bytes are
// read instead, up to the same limit. Spans into Data() stay valid while the
// object lives; moving it keeps them valid.
//
// A mapped file that another program shortens meanwhile is the one hazard a
// copy does not have: pages past its new end cannot be read.
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
  bool Mapped() const noexcept { return view_ != nullptr; }

  // Maps `path`; the errors of ReadFileBytes.
  static Result<MappedFile> Open(const std::filesystem::path& path, std::uintmax_t maxSize = kMaxInputFileSize);

 private:
  void Release() noexcept;

  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  void* view_ = nullptr;              // the mapping, when there is one
  std::vector<std::uint8_t> copy_;    // the bytes, when there is none
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

}  // namespace pg
