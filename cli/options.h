// The command line read into a value: which command, with which files and
// options, or the one-line reason it is bad usage. Reading it prints
// nothing; the entry point reports what it gives.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/layers.h"

namespace pgcli {

namespace fs = std::filesystem;

struct SlotArgs {
  std::optional<fs::path> file;
  int index = 0;
  std::optional<std::string> id;  // a group's resource id or name, instead of the index
  bool small = false;
  pg::Offset offset;
};

struct ComposeArgs {
  fs::path output;
  std::optional<fs::path> bmp;
  int depth = 8;
  bool depthGiven = false;
  std::vector<int> sizes;  // a multi-size icon when not empty
  SlotArgs upper, lower;
};

struct Command {
  enum class Kind { kUsageError, kHelp, kVersion, kCompose, kList, kBatch };
  Kind kind = Kind::kUsageError;
  ComposeArgs compose;  // kCompose
  std::string file;     // kList and kBatch: the file as given (UTF-8; "-" for standard input)
  std::string error;    // kUsageError: what is wrong, one line without a full stop
};

// The arguments after the program's name.
Command ParseCommand(std::vector<std::string> args);

// compose's options alone, as a line of a batch gives them: kCompose,
// kHelp or kUsageError.
Command ParseComposeOptions(std::vector<std::string> args);

// Names on the command line are UTF-8 on every system.
fs::path PathFromUtf8(std::string_view s);
std::string Display(const fs::path& p);

}  // namespace pgcli
