// Reading and writing whole files. The codecs work on bytes in memory; this
// is the thin layer between them and the disk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "byte_reader.h"
#include "result.h"

namespace pg {

// No icon source the program reads comes anywhere near this; refusing
// larger files keeps a stray multi-gigabyte drop from exhausting memory.
inline constexpr std::uintmax_t kMaxInputFileSize = 256u * 1024u * 1024u;

Result<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path,
                                                std::uintmax_t maxSize = kMaxInputFileSize);

// Writes `data` to a temporary file in the target's folder, flushes it to
// disk and only then puts it in place of `path`. On any failure the
// temporary file is removed and an existing `path` is left as it was.
Error WriteFileReplacing(const std::filesystem::path& path, Bytes data);

}  // namespace pg
