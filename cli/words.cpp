#include "words.h"

#include <utility>

namespace pgcli {

std::optional<std::vector<std::string>> SplitLine(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      if (inWord) words.push_back(std::exchange(word, {}));
      inWord = false;
    } else if (c == '#' && !inWord) {
      break;
    } else if (c == '\'') {
      const auto end = line.find('\'', i + 1);
      if (end == std::string_view::npos) return std::nullopt;
      word.append(line.substr(i + 1, end - i - 1));
      i = end;
      inWord = true;
    } else if (c == '"') {
      for (++i;; ++i) {
        if (i >= line.size()) return std::nullopt;
        if (line[i] == '"') break;
        if (line[i] == '\\' && i + 1 < line.size() && std::string_view("\"\\$`").find(line[i + 1]) != std::string_view::npos)
          ++i;
        word += line[i];
      }
      inWord = true;
    } else if (c == '\\') {
      if (i + 1 < line.size()) word += line[++i];
      inWord = true;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

}  // namespace pgcli
