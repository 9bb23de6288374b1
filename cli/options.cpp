#include "options.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <set>
#include <tuple>
#include <utility>

#include "imaging/multi_size.h"

namespace pgcli {
namespace {

Command Bad(std::string what) {
  Command c;
  c.error = std::move(what);
  return c;
}

Command Of(Command::Kind kind) {
  Command c;
  c.kind = kind;
  return c;
}

template <class Int>
std::optional<Int> ParseInt(std::string_view s) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  Int v{};
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc{} || end != s.data() + s.size() || s.empty()) return std::nullopt;
  return v;
}

std::optional<pg::Offset> ParseOffset(std::string_view s) {
  const auto comma = s.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const auto x = ParseInt<std::int32_t>(s.substr(0, comma));
  const auto y = ParseInt<std::int32_t>(s.substr(comma + 1));
  if (!x || !y) return std::nullopt;
  return pg::Offset{*x, *y};
}

// "all", or sizes of pg::kIconSizes separated by commas; each size once, in
// the order given.
std::optional<std::vector<int>> ParseSizes(std::string_view s) {
  if (s == "all") return std::vector<int>(pg::kIconSizes.begin(), pg::kIconSizes.end());
  std::vector<int> sizes;
  while (true) {
    const auto comma = s.find(',');
    const auto size = ParseInt<int>(s.substr(0, comma));
    if (!size || std::find(pg::kIconSizes.begin(), pg::kIconSizes.end(), *size) == pg::kIconSizes.end())
      return std::nullopt;
    if (std::find(sizes.begin(), sizes.end(), *size) == sizes.end()) sizes.push_back(*size);
    if (comma == std::string_view::npos) return sizes;
    s.remove_prefix(comma + 1);
  }
}

// Whether two output names reach the same file: the same name once links
// and dots are resolved, or two names of one existing file.
bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec1, ec2;
  if (fs::equivalent(a, b, ec1)) return true;
  const fs::path ca = fs::weakly_canonical(fs::absolute(a, ec1), ec1);
  const fs::path cb = fs::weakly_canonical(fs::absolute(b, ec2), ec2);
  return !ec1 && !ec2 && ca == cb;
}

// Splits "--name=value" and "--name value"; a value may start with '-'
// (negative offsets and indices), so the next argument is always taken.
class ArgCursor {
 public:
  explicit ArgCursor(std::vector<std::string> args) : args_(std::move(args)) {}
  bool Done() const { return pos_ >= args_.size(); }
  std::string Next() { return args_[pos_++]; }
  std::optional<std::string> Value(std::optional<std::string>& inlineValue) {
    if (inlineValue) return std::exchange(inlineValue, std::nullopt);
    if (Done()) return std::nullopt;
    return Next();
  }

 private:
  std::vector<std::string> args_;
  std::size_t pos_ = 0;
};

}  // namespace

fs::path PathFromUtf8(std::string_view s) { return fs::path(std::u8string(s.begin(), s.end())); }

std::string Display(const fs::path& p) {
  const auto u8 = p.u8string();
  return std::string(u8.begin(), u8.end());
}

Command ParseComposeOptions(std::vector<std::string> words) {
  ArgCursor cur(std::move(words));
  Command command = Of(Command::Kind::kCompose);
  ComposeArgs& args = command.compose;
  bool haveOutput = false;
  std::set<std::string> seen;
  while (!cur.Done()) {
    std::string arg = cur.Next();
    std::optional<std::string> inlineValue;
    if (arg.rfind("--", 0) == 0) {
      if (const auto eq = arg.find('='); eq != std::string::npos) {
        inlineValue = arg.substr(eq + 1);
        arg.resize(eq);
      }
    }
    // An option given twice is a mistake in a script more often than a
    // correction: the last one silently winning hides it.
    const std::string name = arg == "-o" ? "--output" : arg;
    if (name.rfind("-", 0) == 0 && name != "-h" && name != "--help" && !seen.insert(name).second)
      return Bad((arg == name ? arg : arg + " (" + name + ")") + " is given more than once");
    const auto need = [&]() -> std::optional<std::string> { return cur.Value(inlineValue); };
    SlotArgs* slot = arg.rfind("--upper", 0) == 0 ? &args.upper
                     : arg.rfind("--lower", 0) == 0 ? &args.lower : nullptr;
    const std::string_view rest = slot ? std::string_view(arg).substr(7) : std::string_view{};

    if (arg == "--help" || arg == "-h") {
      return Of(Command::Kind::kHelp);
    } else if (arg == "-o" || arg == "--output") {
      auto v = need();
      if (!v || v->empty()) return Bad("-o needs a file name");
      args.output = PathFromUtf8(*v);
      haveOutput = true;
    } else if (arg == "--depth") {
      auto v = need();
      if (!v || (*v != "8" && *v != "24")) return Bad("--depth must be 8 or 24");
      args.depth = *v == "8" ? 8 : 24;
      args.depthGiven = true;
    } else if (arg == "--sizes") {
      auto v = need();
      auto sizes = v ? ParseSizes(*v) : std::nullopt;
      if (!sizes) return Bad("--sizes needs \"all\" or sizes from 16,20,24,32,40,48,64,256");
      args.sizes = std::move(*sizes);
    } else if (arg == "--bmp") {
      auto v = need();
      if (!v || v->empty()) return Bad("--bmp needs a file name");
      args.bmp = PathFromUtf8(*v);
    } else if (slot && rest.empty()) {
      auto v = need();
      if (!v || v->empty()) return Bad(arg + " needs a file name");
      slot->file = PathFromUtf8(*v);
    } else if (slot && rest == "-offset") {
      auto v = need();
      auto o = v ? ParseOffset(*v) : std::nullopt;
      if (!o) return Bad(arg + " needs X,Y (whole numbers)");
      slot->offset = *o;
    } else if (slot && rest == "-index") {
      auto v = need();
      auto i = v ? ParseInt<int>(*v) : std::nullopt;
      if (!i) return Bad(arg + " needs a whole number");
      slot->index = *i;
    } else if (slot && rest == "-id") {
      auto v = need();
      if (!v || v->empty()) return Bad(arg + " needs a resource id or name");
      slot->id = *v;
    } else if (slot && rest == "-small" && !inlineValue) {
      slot->small = true;
    } else {
      return Bad("unknown option '" + arg + "'");
    }
  }
  if (!haveOutput) return Bad("compose needs -o OUT.ico");
  for (const char* which : {"upper", "lower"})
    if (seen.count(std::string("--") + which + "-index") && seen.count(std::string("--") + which + "-id"))
      return Bad(std::string("--") + which + "-index and --" + which + "-id both choose the " + which + " icon");
  if (args.bmp && SameFile(args.output, *args.bmp)) return Bad("-o and --bmp name the same file");
  if (args.depthGiven && !args.sizes.empty()) return Bad("--depth does not apply to a multi-size icon (--sizes)");
  return command;
}

Command ParseCommand(std::vector<std::string> args) {
  if (args.empty()) return Bad("no command given");
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") return Of(Command::Kind::kHelp);
  if (command == "--version") return Of(Command::Kind::kVersion);
  if (command == "compose") return ParseComposeOptions(std::move(args));
  for (const auto& [name, kind, missing] :
       {std::tuple{"list", Command::Kind::kList, "list needs a file"},
        std::tuple{"batch", Command::Kind::kBatch, "batch needs a file, or - for standard input"}}) {
    if (command != name) continue;
    if (args.empty()) return Bad(missing);
    if (args.size() > 1) return Bad(std::string(name) + " takes one file");
    Command c = Of(kind);
    c.file = args.front();
    return c;
  }
  return Bad("unknown command '" + command + "'");
}

}  // namespace pgcli
