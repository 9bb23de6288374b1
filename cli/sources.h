// The icon sources opened in one run of the command line.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "imaging/icon_source.h"

namespace pgcli {

// Sources opened in this run, so that a file named by both slots, or by
// many lines of a batch, is read and parsed once. A file is known by its
// resolved name, size and time of change: one rewritten meanwhile (an
// earlier line's output) is opened afresh.
class SourceCache {
 public:
  pg::Result<std::shared_ptr<const pg::IconSource>> Open(const std::filesystem::path& path);

 private:
  static constexpr std::size_t kKept = 64;
  std::map<std::string, std::shared_ptr<const pg::IconSource>> open_;
};

}  // namespace pgcli
