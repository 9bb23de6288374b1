#include "reporter.h"

#include <algorithm>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "imaging/icon_source.h"
#include "options.h"

namespace pgcli {

Message Reporter::Err() {
  if (barShown_) {
    Write(stderr, "\r\x1b[K");
    barShown_ = false;
  }
  return Message("pairglyph: " + context_);
}

int Reporter::UsageError(std::string_view what) {
  Err() << what << "; try 'pairglyph --help'\n";
  return kExitUsage;
}

int Reporter::FileError(const std::filesystem::path& file, pg::Error e) {
  Err() << Display(file) << ": " << pg::ErrorText(e) << "\n";
  return kExitFailure;
}

int Reporter::SourceError(const std::filesystem::path& file, pg::Error e) {
  if (e != pg::Error::kNotIconSource) return FileError(file, e);
  std::vector<std::uint8_t> head;
  if (const auto mapped = pg::MappedFile::Open(file)) {
    const pg::Bytes bytes = mapped->Data();
    head.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(bytes.size(), 4096)));
  }
  Err() << Display(file) << ": not an icon source: " << pg::DescribeFileKind(head) << "\n";
  return kExitFailure;
}

int Reporter::WriteError(const pg::WriteResult& w) {
  Err() << Display(w.file) << ": " << w.Text() << "\n";
  return kExitFailure;
}

void Reporter::ShowProgress(std::size_t done, std::size_t total) {
  constexpr std::size_t kWidth = 30;
  const std::size_t filled = total ? done * kWidth / total : kWidth;
  const std::string bar = "\r[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + "] " +
                          std::to_string(done) + '/' + std::to_string(total);
  Write(stderr, bar);
  std::fflush(stderr);
  barShown_ = true;
}

void Reporter::EndProgress(std::size_t total) {
  ShowProgress(total, total);
  Write(stderr, "\n");
  barShown_ = false;
}

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace pgcli
