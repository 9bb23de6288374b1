// The three commands. Each reports its failures through the reporter and
// gives the exit status.
#pragma once

#include <filesystem>
#include <string>

#include "options.h"
#include "platform/file_io.h"
#include "reporter.h"
#include "sources.h"

namespace pgcli {

// What every command works with: the sources opened so far and the
// reporter.
struct Run {
  SourceCache sources;
  Reporter report;
};

// Composes two icons exactly as the window does and writes the icon Save
// writes. `flushes`: where a batch collects the output folders to flush
// once at its end; without it each write flushes its own.
int Compose(const ComposeArgs& args, Run& run, pg::FolderFlushes* flushes = nullptr);

// One line per icon of the file on standard output.
int List(const std::filesystem::path& path, Run& run);

// One compose per line of the file named `name` ("-": standard input).
int Batch(const std::string& name, Run& run);

}  // namespace pgcli
