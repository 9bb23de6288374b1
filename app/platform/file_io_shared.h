// What the two implementations of file_io.h share: the temporary names, the
// test hook, and the all-or-nothing order of a write of several files. Only
// the platform files include this.
#pragma once

#include <filesystem>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "platform/file_io.h"

namespace pg::file_io {

namespace fs = std::filesystem;

// "<prefix><pid>-<8 hex digits><suffix>": short whatever the target's name.
std::string TempName(unsigned long pid, const char* suffix);

// The process id in a temporary name of ours, or 0.
unsigned long PidOfTempName(const std::string& name);

inline fs::path FolderOf(const fs::path& p) { return p.has_parent_path() ? p.parent_path() : fs::path("."); }

// A hard-linked file is rewritten in place (a new file would leave its other
// names behind with the old bytes); it keeps its old bytes in memory up to
// this size, to put them back when another output of the same write fails.
inline constexpr std::uintmax_t kMaxRollbackCopy = 64 * 1024 * 1024;

inline WriteResult Failed(Error e, const fs::path& file, std::error_code cause = {}) {
  return WriteResult{e, cause, file};
}

// Calls the test hook, if one is set.
void Step(WriteStep step);

// Prepares every output, then commits them in order; when one commit fails
// (or throws), the ones already committed are rolled back. `Pending` is the
// platform's record of one output: Prepare, Commit and Rollback are its
// members, and its destructor removes what is left of its temporary and
// backup files and closes its handles, so an exception leaves nothing
// behind.
template <class Pending>
WriteResult WriteAllOrNoneUnguarded(std::span<const OutputFile> files, FolderFlushes* later) {
  std::vector<Pending> pending(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) pending[i].out = files[i];
  for (Pending& p : pending)
    if (WriteResult r = p.Prepare(); !r.ok()) return r;
  const auto rollback = [&] {
    for (auto it = pending.rbegin(); it != pending.rend(); ++it) it->Rollback();
  };
  try {
    for (std::size_t i = 0; i < pending.size(); ++i) {
      Step(WriteStep::kReplacing);
      if (WriteResult r = pending[i].Commit(i + 1 < pending.size(), later); !r.ok()) {
        rollback();
        return r;
      }
      // After the last one the write has succeeded: nothing is left to fail.
      if (i + 1 < pending.size()) Step(WriteStep::kReplaced);
    }
  } catch (...) {
    rollback();
    throw;
  }
  return {};
}

// The same, a failed allocation at any step reported as kOutOfMemory.
template <class Pending>
WriteResult WriteAllOrNone(std::span<const OutputFile> files, FolderFlushes* later) {
  try {
    return WriteAllOrNoneUnguarded<Pending>(files, later);
  } catch (const std::bad_alloc&) {
    return Failed(Error::kOutOfMemory, files.empty() ? fs::path() : files.front().path);
  }
}

}  // namespace pg::file_io
