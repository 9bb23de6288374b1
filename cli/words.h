// Splitting a line of a batch into the words of one command.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pgcli {

// Splits a line as a POSIX shell splits words: blanks separate, '...'
// keeps everything, "..." keeps everything but \" \\ \$ \`, a backslash
// outside quotes keeps the next character. Nothing when a quote is left
// open. A word starting with # begins a comment.
std::optional<std::vector<std::string>> SplitLine(std::string_view line);

}  // namespace pgcli
