// pairglyph: the command line over the same core as Tessary. It composes two
// icons exactly as the window does and writes the icon Save writes, and it
// lists the icons a file holds. This file is the entry and the dispatch;
// options.h reads the command line, commands.h runs it.
#include <new>
#include <string>
#include <vector>

#include "commands.h"
#include "options.h"
#include "reporter.h"
#include "usage.h"

#ifdef _WIN32
#include "imaging/utf.h"
#endif

namespace {

using namespace pgcli;

int Dispatch(std::vector<std::string> args) {
  Run run;
  try {
    const Command command = ParseCommand(std::move(args));
    switch (command.kind) {
      case Command::Kind::kUsageError: return run.report.UsageError(command.error);
      case Command::Kind::kHelp: Write(stdout, kUsage); return kExitOk;
      case Command::Kind::kVersion: Write(stdout, kVersion); return kExitOk;
      case Command::Kind::kCompose: return Compose(command.compose, run);
      case Command::Kind::kList: return List(PathFromUtf8(command.file), run);
      case Command::Kind::kBatch: return Batch(command.file, run);
    }
    return kExitUsage;
  } catch (const std::bad_alloc&) {
    run.report.Err() << pg::ErrorText(pg::Error::kOutOfMemory) << "\n";
    return kExitFailure;
  }
}

}  // namespace

#ifdef _WIN32
// Wide arguments, so every file name reaches the core whatever the code page.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view arg(argv[i]);
    args.push_back(pg::Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(arg.data()), arg.size())));
  }
  return Dispatch(std::move(args));
}
#else
int main(int argc, char** argv) { return Dispatch(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
