// What the command line tells its user: messages on standard error, each
// with the place the work comes from (a line of a batch), and the progress
// bar, which a message clears first.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <type_traits>

#include "imaging/result.h"
#include "platform/file_io.h"

namespace pgcli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Standard output and error through C's streams: a command run hundreds of
// times from scripts should not set up the C++ streams' locales at every
// start (a tenth of a short run).
inline void Write(std::FILE* to, std::string_view text) { std::fwrite(text.data(), 1, text.size(), to); }

// One message on standard error, written whole when the statement ends.
class Message {
 public:
  explicit Message(std::string start) : text_(std::move(start)) {}
  Message(const Message&) = delete;
  Message& operator=(const Message&) = delete;
  ~Message() { Write(stderr, text_); }
  Message& operator<<(std::string_view s) {
    text_ += s;
    return *this;
  }
  Message& operator<<(char c) {
    text_ += c;
    return *this;
  }
  template <typename Int>
    requires std::is_integral_v<Int>
  Message& operator<<(Int n) {
    text_ += std::to_string(n);
    return *this;
  }

 private:
  std::string text_;
};

class Reporter {
 public:
  // "pairglyph: ", the context, and what the caller adds.
  Message Err();

  // Where the work comes from: "FILE:LINE: " for a line of a batch, or
  // nothing.
  void SetContext(std::string context) { context_ = std::move(context); }

  // One line: what is wrong and where the help is; the help itself would
  // bury it. Gives kExitUsage.
  int UsageError(std::string_view what);
  // "FILE: reason"; kExitFailure.
  int FileError(const std::filesystem::path& file, pg::Error e);
  // A file that is no icon source is named for what it is, so a user who
  // gave the wrong file sees which one.
  int SourceError(const std::filesystem::path& file, pg::Error e);
  int WriteError(const pg::WriteResult& w);

  // The bar on standard error's last line: done of total.
  void ShowProgress(std::size_t done, std::size_t total);
  // The full bar, then its line ended.
  void EndProgress(std::size_t total);

 private:
  std::string context_;
  bool barShown_ = false;  // cleared before the next message
};

// Whether standard error is a terminal, where a progress bar may show.
bool StderrIsTerminal();

}  // namespace pgcli
