#include "sources.h"

#include "options.h"

namespace pgcli {

namespace fs = std::filesystem;

pg::Result<std::shared_ptr<const pg::IconSource>> SourceCache::Open(const fs::path& path) {
  std::error_code ec;
  std::string key = Display(fs::weakly_canonical(fs::absolute(path, ec), ec));
  const auto size = fs::file_size(path, ec);
  const auto time = fs::last_write_time(path, ec);
  if (!ec) key += '|' + std::to_string(size) + '|' + std::to_string(time.time_since_epoch().count());
  if (const auto it = open_.find(key); it != open_.end() && !ec) return it->second;
  auto source = pg::OpenSlotSourceFile(path);
  if (!source) return source.error();
  std::shared_ptr<const pg::IconSource> shared(std::move(*source));
  if (open_.size() >= kKept) open_.clear();
  if (!ec) open_.emplace(std::move(key), shared);
  return shared;
}

}  // namespace pgcli
