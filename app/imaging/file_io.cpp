#include "file_io.h"

#include <cstdio>
#include <random>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <io.h>  // _commit, _fileno
#else
#include <unistd.h>  // fsync
#endif

namespace pg {
namespace fs = std::filesystem;

namespace {

std::FILE* OpenFile(const fs::path& p, bool write) {
#ifdef _WIN32
  return _wfopen(p.c_str(), write ? L"wbx" : L"rb");
#else
  return std::fopen(p.c_str(), write ? "wbx" : "rb");
#endif
}

bool FlushToDisk(std::FILE* f) {
  if (std::fflush(f) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(f)) == 0;
#else
  return fsync(fileno(f)) == 0;
#endif
}

}  // namespace

Result<std::vector<std::uint8_t>> ReadFileBytes(const fs::path& path, std::uintmax_t maxSize) {
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (ec || !fs::exists(st)) return Error::kFileNotFound;
  if (!fs::is_regular_file(st)) return Error::kFileUnreadable;
  std::FILE* f = OpenFile(path, false);
  if (!f) return Error::kFileUnreadable;
  std::vector<std::uint8_t> data;
  std::uint8_t chunk[64 * 1024];
  bool failed = false;
  for (;;) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, f);
    if (data.size() + got > maxSize) { std::fclose(f); return Error::kFileTooLarge; }
    data.insert(data.end(), chunk, chunk + got);
    if (got < sizeof chunk) { failed = std::ferror(f) != 0; break; }
  }
  std::fclose(f);
  if (failed) return Error::kFileUnreadable;
  return data;
}

Error WriteFileReplacing(const fs::path& path, Bytes data) {
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  std::random_device rd;
  fs::path tmp;
  std::FILE* f = nullptr;
  // "x" mode never opens an existing file, so a name clash just tries again.
  for (int attempt = 0; attempt < 16 && !f; ++attempt) {
    fs::path name = path.filename();
    name += ".~" + std::to_string(rd() % 1000000u) + ".tmp";
    tmp = folder / name;
    f = OpenFile(tmp, true);
  }
  if (!f) return Error::kFileWriteFailed;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = FlushToDisk(f) && ok;
  ok = std::fclose(f) == 0 && ok;
  std::error_code ec;
  if (ok) fs::rename(tmp, path, ec);  // replaces an existing target atomically
  if (!ok || ec) {
    fs::remove(tmp, ec);
    return Error::kFileWriteFailed;
  }
  return Error::kOk;
}

}  // namespace pg
