#include <string>
#include <vector>

#include "commands.h"
#include "usage.h"
#include "words.h"

namespace pgcli {

// One compose per line (its options, "compose" in front optional; blank
// lines and # comments skipped) in this one process, the sources shared
// between lines. A failing line is reported with its number and the rest
// still run.
int Batch(const std::string& name, Run& run) {
  std::vector<std::string> lines;
  {
    std::string text;
    if (name == "-") {
      char chunk[64 * 1024];
      for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0;) text.append(chunk, n);
    } else {
      const auto file = pg::MappedFile::Open(PathFromUtf8(name));
      if (!file) return run.report.FileError(PathFromUtf8(name), file.error());
      const pg::Bytes bytes = file->Data();
      text.assign(bytes.begin(), bytes.end());
      if (!file->Intact()) return run.report.FileError(PathFromUtf8(name), pg::Error::kFileUnreadable);
    }
    // Lines end at '\n'; a last line without one counts too.
    for (std::size_t at = 0; at < text.size();) {
      std::size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      lines.emplace_back(text, at, end - at);
      at = end + 1;
    }
  }
  const std::string shown = name == "-" ? "standard input" : name;
  const bool bar = StderrIsTerminal();
  int failed = 0;
  // The outputs' folders are flushed once, after the last line, instead of
  // after every file: a batch writing into one folder would otherwise wait
  // for the disk twice per line.
  pg::FolderFlushes flushes;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    if (bar) run.report.ShowProgress(n, lines.size());
    run.report.SetContext(shown + ":" + std::to_string(n + 1) + ": ");
    auto words = SplitLine(lines[n]);
    int status = kExitOk;
    if (!words) {
      status = run.report.UsageError("a quote is not closed");
    } else if (!words->empty()) {
      if (words->front() == "compose") words->erase(words->begin());
      const Command command = ParseComposeOptions(std::move(*words));
      switch (command.kind) {
        case Command::Kind::kHelp: Write(stdout, kUsage); break;
        case Command::Kind::kCompose: status = Compose(command.compose, run, &flushes); break;
        default: status = run.report.UsageError(command.error); break;
      }
    }
    failed += status != kExitOk;
  }
  run.report.SetContext({});
  flushes.Flush();
  if (bar) run.report.EndProgress(lines.size());
  if (failed) run.report.Err() << shown << ": " << failed << " of " << lines.size() << " lines failed\n";
  return failed ? kExitFailure : kExitOk;
}

}  // namespace pgcli
