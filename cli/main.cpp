// pairglyph: the command line over the same core as Tessary. It composes two
// icons exactly as the window does and writes the icon Save writes, and it
// lists the icons a file holds.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "imaging/bmp.h"
#include "platform/file_io.h"
#include "imaging/icon_source.h"
#include "imaging/icon_writer.h"
#include "imaging/keysplit.h"
#include "imaging/layers.h"
#include "imaging/packed_bitmap.h"
#include "imaging/multi_size.h"

namespace {

namespace fs = std::filesystem;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr std::string_view kVersion = "pairglyph 0.1\n";

constexpr std::string_view kUsage =
    R"(usage: pairglyph compose -o OUT.ico [options]
       pairglyph list FILE
       pairglyph batch FILE|-
       pairglyph --help | --version

compose lays the lower icon, then the upper icon, over the key colour RGB(64, 96, 128) in a
32x32 cell and writes the result as a single-image icon in which every key-coloured pixel is
transparent. An omitted slot is empty.
  -o, --output FILE      the icon file to write (replaced only when the write has succeeded)
  --depth 8|24           bits per pixel (default 8; 24 when the picture has too many colours)
  --sizes LIST           a multi-size icon (32 bits with alpha) at sizes of LIST, or "all"
  --bmp FILE             also the 32x32 composite, key colour included, as a 24-bit bitmap
  --upper FILE           the upper icon: .ico, executable or library (EXE, DLL, ICL, NE), bitmap
  --lower FILE           the lower icon, from the same kinds of file
  --upper-index N        which icon of the upper file (default 0; below -1: the id -N)
  --lower-index N        which icon of the lower file
  --upper-id ID|NAME     the upper file's icon group with that resource id or name
  --lower-id ID|NAME     the lower file's icon group with that resource id or name
  --upper-small          the upper file's small (16x16) icon instead of its large one
  --lower-small          the lower file's small icon
  --upper-offset X,Y     where the upper icon's cell lies (default 0,0; --upper-offset=-5,3)
  --lower-offset X,Y     where the lower icon's cell lies
  -h, --help             this text
  --version              the program's version

  .pac packed bitmaps are told by their extension, every other kind by its content. --sizes
  takes sizes from 16, 20, 24, 32, 40, 48, 64, 256, comma-separated; each is composed from the
  sources' own images (256 as PNG), with the offsets of the 32x32 cell; not with --depth.
  -o and --bmp are written together: both files are replaced, or neither.

list prints one line per icon of FILE, in three tab-separated columns: its index, its resource
id or name ("-" where it has none), and each of its images' width x height and bits per pixel
as the image's own header gives them. An icon that compose could not use is listed as
"damaged: " and what is wrong with it. A program or library without icons lists nothing.

batch runs one compose per line of FILE (- reads standard input): the options above, quoted
as in a shell, "compose" in front optional; blank lines and # comments are skipped. Files
are opened once for all lines; a failing line is reported with its number and the others
still run. On a terminal a progress bar shows on standard error.

Limits: files up to 128 MB; icon images up to 4096 pixels a side and 4 million pixels; bitmaps
up to 16384 pixels a side and 16 million pixels; .pac pictures up to 256 x 256; a file's
images decoded for its large and small icons together up to 16 million pixels.

Exit status: 0 on success, 1 when a file is missing, damaged or cannot be written (or, for
list, holds a damaged icon; for batch, when any line failed), 2 on bad usage.
)";

std::string Display(const fs::path& p) {
  const auto u8 = p.u8string();
  return std::string(u8.begin(), u8.end());
}

// Where the current work comes from, for messages: empty, or "FILE:LINE: "
// for a line of a batch.
std::string g_context;
// Whether a progress bar is on the terminal's last line, to be cleared
// before a message.
bool g_barShown = false;

// Standard output and error through C's streams: a command run hundreds of
// times from scripts should not set up the C++ streams' locales at every
// start (a tenth of a short run).
void Write(std::FILE* to, std::string_view text) { std::fwrite(text.data(), 1, text.size(), to); }

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

Message Err() {
  if (g_barShown) {
    Write(stderr, "\r\x1b[K");
    g_barShown = false;
  }
  return Message("pairglyph: " + g_context);
}

// One line: what is wrong and where the help is; the help itself would bury it.
int UsageError(std::string_view what) {
  Err() << what << "; try 'pairglyph --help'\n";
  return kExitUsage;
}

int FileError(const fs::path& file, pg::Error e) {
  Err() << Display(file) << ": " << pg::ErrorText(e) << "\n";
  return kExitFailure;
}

// A file that is no icon source is named for what it is, so a user who
// gave the wrong file sees which one.
int SourceError(const fs::path& file, pg::Error e) {
  if (e != pg::Error::kNotIconSource) return FileError(file, e);
  std::vector<std::uint8_t> head;
  if (const auto mapped = pg::MappedFile::Open(file)) {
    const pg::Bytes bytes = mapped->Data();
    head.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(bytes.size(), 4096)));
  }
  Err() << Display(file) << ": not an icon source: " << pg::DescribeFileKind(head) << "\n";
  return kExitFailure;
}

int WriteError(const pg::WriteResult& w) {
  Err() << Display(w.file) << ": " << w.Text() << "\n";
  return kExitFailure;
}

// .pac files have no signature: they are told by their extension, as the
// window tells a dropped one.
bool IsPackedBitmap(const fs::path& p) {
  std::string ext = Display(p.extension());
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext == ".pac";
}

pg::Result<std::unique_ptr<pg::IconSource>> OpenUncached(const fs::path& path) {
  if (!IsPackedBitmap(path)) return pg::OpenIconSourceFile(path);
  auto pac = pg::MappedFile::Open(path);
  if (!pac) return pac.error();
  auto bmp = pg::ConvertPackedBitmap(pac->Data());
  if (!bmp) return bmp.error();
  return pg::OpenIconSource(*bmp);
}

// Sources opened in this run, so that a file named by both slots, or by
// many lines of a batch, is read and parsed once. A file is known by its
// resolved name, size and time of change: one rewritten meanwhile (an
// earlier line's output) is opened afresh.
class SourceCache {
 public:
  pg::Result<std::shared_ptr<const pg::IconSource>> Open(const fs::path& path) {
    std::error_code ec;
    std::string key = Display(fs::weakly_canonical(fs::absolute(path, ec), ec));
    const auto size = fs::file_size(path, ec);
    const auto time = fs::last_write_time(path, ec);
    if (!ec) key += '|' + std::to_string(size) + '|' + std::to_string(time.time_since_epoch().count());
    if (const auto it = open_.find(key); it != open_.end() && !ec) return it->second;
    auto source = OpenUncached(path);
    if (!source) return source.error();
    std::shared_ptr<const pg::IconSource> shared(std::move(*source));
    if (open_.size() >= kKept) open_.clear();
    if (!ec) open_.emplace(std::move(key), shared);
    return shared;
  }

 private:
  static constexpr std::size_t kKept = 64;
  std::map<std::string, std::shared_ptr<const pg::IconSource>> open_;
};

SourceCache g_sources;

pg::Result<std::shared_ptr<const pg::IconSource>> OpenSource(const fs::path& path) {
  return g_sources.Open(path);
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

// Puts the icon a slot gets from a file into the model, as the window's
// picker would; with `everySize`, the images of its group as well.
std::string Utf8(const std::u16string& s);

// The index of the group with resource id `id` (decimal) or name `id`
// (letters compared without case, as the resource compiler stores names in
// capitals); nothing when the file has none.
std::optional<int> FindGroup(const pg::IconSource& s, const std::string& id) {
  const auto number = ParseInt<std::uint32_t>(id);
  const auto lower = [](std::string t) {
    for (char& c : t) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return t;
  };
  for (int i = 0; i < s.Count(); ++i) {
    const pg::IconGroupInfo info = s.Info(i);
    if (info.name.empty() ? number && info.resourceId == *number && *number != 0
                          : lower(Utf8(info.name)) == lower(id))
      return i;
  }
  return std::nullopt;
}

// The pixels of an icon that the platform draws inverting: transparent in
// the mask, yet not black.
int InvertingPixels(const pg::Icon& icon) {
  int n = 0;
  for (int y = 0; y < icon.Height(); ++y)
    for (int x = 0; x < icon.Width(); ++x)
      n += icon.mask.GetPixel(x, y) == pg::kWhite && icon.colour.GetPixel(x, y) != pg::kBlack;
  return n;
}

int LoadSlot(const SlotArgs& slot, pg::Slot which, bool everySize, pg::LayerModel& model) {
  const fs::path& path = *slot.file;
  auto source = OpenSource(path);
  if (!source) return SourceError(path, source.error());
  if ((*source)->Count() < 1) {
    Err() << Display(path) << ": file holds no icons\n";
    return kExitFailure;
  }
  const auto fail = [&](pg::Error e) { return FileError(path, e); };
  int index = slot.index;
  if (slot.id) {
    const auto found = FindGroup(**source, *slot.id);
    if (!found) {
      Err() << Display(path) << ": file has no icon with id or name '" << *slot.id << "'\n";
      return kExitFailure;
    }
    index = *found;
  }
  auto icon = (*source)->Extract(index, slot.small ? pg::kSmallSize : pg::kCellSize);
  if (!icon) return fail(icon.error());
  // Such pixels come out opaque in the saved icon; without a word the user
  // sees a box and no reason for it.
  if (const int n = InvertingPixels(*icon); n > 0)
    Err() << Display(path) << ": icon " << index << ": " << n
              << " transparent pixels carry a colour (drawn inverting); the saved icon shows them opaque\n";
  if (!everySize) {
    model.SetIcon(which, std::move(*icon));
    return kExitOk;
  }
  auto images = (*source)->ExtractSource(index, slot.small);
  if (!images) return fail(images.error());
  model.SetIcon(which, std::move(*icon), std::move(*images));
  return kExitOk;
}

// `flushes`: where a batch collects the output folders to flush once at
// its end; without it each write flushes its own.
int Compose(const ComposeArgs& args, pg::FolderFlushes* flushes = nullptr) {
  pg::LayerModel model(pg::ZoomView::kNone);
  for (auto [slot, which] : {std::pair{&args.upper, pg::Slot::kUpper},
                             std::pair{&args.lower, pg::Slot::kLower}}) {
    if (slot->file) {
      if (const int status = LoadSlot(*slot, which, !args.sizes.empty(), model); status != kExitOk)
        return status;
    }
    model.SetOffset(which, slot->offset);
  }
  model.Rebuild();

  pg::PaletteTable table;
  const auto file = args.sizes.empty()
                        ? pg::WriteIconFile(pg::SplitKeyColour(model.Composite()), args.depth, table)
                        : pg::IconFileBytes{pg::WriteModelMultiSizeIcon(model, args.sizes), 32};
  std::vector<pg::OutputFile> outputs = {{args.output, file.bytes}};
  std::vector<std::uint8_t> bmp;
  if (args.bmp) {
    bmp = pg::WriteBmp24(model.Composite());
    outputs.push_back({*args.bmp, bmp});
  }
  if (const auto w = pg::WriteFilesReplacing(outputs, flushes); !w.ok()) return WriteError(w);
  if (args.sizes.empty() && args.depth == 8 && file.bitsPerPixel == 24)
    Err() << "too many colours for 8 bits; wrote 24 bits per pixel\n";
  return kExitOk;
}

std::string Utf8(const std::u16string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    std::uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
    else if (c >= 0xD800 && c < 0xE000)
      c = 0xFFFD;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The group's resource id or name; "-" for a file whose one icon has neither.
std::string GroupLabel(const pg::IconGroupInfo& info) {
  if (!info.name.empty()) return Utf8(info.name);
  return info.resourceId != 0 ? std::to_string(info.resourceId) : "-";
}

// One line per icon, the same three tab-separated columns for every kind of
// file: index, resource id or name, and the images as their own headers
// describe them, or "damaged: <reason>" with the verdict compose would
// reach (an icon is damaged when its large or small icon cannot be made).
int List(const fs::path& path) {
  auto source = OpenSource(path);
  if (!source) return SourceError(path, source.error());
  const pg::IconSource& s = **source;
  int status = kExitOk;
  std::string out;
  for (int i = 0; i < s.Count(); ++i) {
    const pg::IconGroupInfo info = s.Info(i);
    const pg::Error verdict = s.Check(i);
    out += std::to_string(i) + '\t' + GroupLabel(info) + '\t';
    if (verdict != pg::Error::kOk) {
      out += "damaged: ";
      out += pg::ErrorText(verdict);
      Err() << Display(path) << ": icon " << i << ": " << pg::ErrorText(verdict) << "\n";
      status = kExitFailure;
    } else {
      const char* sep = "";
      for (const auto& e : info.entries) {
        out += sep + std::to_string(e.width) + 'x' + std::to_string(e.height) + ' ' +
               std::to_string(e.bitsPerPixel) + "bpp";
        sep = ", ";
      }
    }
    out += '\n';
  }
  Write(stdout, out);
  return status;
}

// Splits "--name=value" and "--name value"; a value may start with '-'
// (negative offsets and indices), so the next argument is always taken.
class ArgCursor {
 public:
  explicit ArgCursor(std::vector<std::string> args) : args_(std::move(args)) {}
  bool Done() const { return pos_ >= args_.size(); }
  std::string Next() { return args_[pos_++]; }
  std::optional<std::string> Value(std::optional<std::string>& inline_value) {
    if (inline_value) return std::exchange(inline_value, std::nullopt);
    if (Done()) return std::nullopt;
    return Next();
  }

 private:
  std::vector<std::string> args_;
  std::size_t pos_ = 0;
};

fs::path PathFromUtf8(const std::string& s) {
  return fs::path(std::u8string(s.begin(), s.end()));
}

// Reads compose's options into `args`; a status to end with when they are
// bad or ask for the help, nothing when the composition can run.
std::optional<int> ParseComposeArgs(ArgCursor& cur, ComposeArgs& args) {
  bool haveOutput = false;
  std::set<std::string> seen;
  while (!cur.Done()) {
    std::string arg = cur.Next();
    std::optional<std::string> inline_value;
    if (arg.rfind("--", 0) == 0) {
      if (const auto eq = arg.find('='); eq != std::string::npos) {
        inline_value = arg.substr(eq + 1);
        arg.resize(eq);
      }
    }
    // An option given twice is a mistake in a script more often than a
    // correction: the last one silently winning hides it.
    const std::string name = arg == "-o" ? "--output" : arg;
    if (name.rfind("-", 0) == 0 && name != "-h" && name != "--help" && !seen.insert(name).second)
      return UsageError((arg == name ? arg : arg + " (" + name + ")") + " is given more than once");
    const auto need = [&]() -> std::optional<std::string> { return cur.Value(inline_value); };
    SlotArgs* slot = arg.rfind("--upper", 0) == 0 ? &args.upper
                     : arg.rfind("--lower", 0) == 0 ? &args.lower : nullptr;
    const std::string_view rest = slot ? std::string_view(arg).substr(7) : std::string_view{};

    if (arg == "--help" || arg == "-h") {
      Write(stdout, kUsage);
      return kExitOk;
    } else if (arg == "-o" || arg == "--output") {
      auto v = need();
      if (!v || v->empty()) return UsageError("-o needs a file name");
      args.output = PathFromUtf8(*v);
      haveOutput = true;
    } else if (arg == "--depth") {
      auto v = need();
      if (!v || (*v != "8" && *v != "24")) return UsageError("--depth must be 8 or 24");
      args.depth = *v == "8" ? 8 : 24;
      args.depthGiven = true;
    } else if (arg == "--sizes") {
      auto v = need();
      auto sizes = v ? ParseSizes(*v) : std::nullopt;
      if (!sizes) return UsageError("--sizes needs \"all\" or sizes from 16,20,24,32,40,48,64,256");
      args.sizes = std::move(*sizes);
    } else if (arg == "--bmp") {
      auto v = need();
      if (!v || v->empty()) return UsageError("--bmp needs a file name");
      args.bmp = PathFromUtf8(*v);
    } else if (slot && rest.empty()) {
      auto v = need();
      if (!v || v->empty()) return UsageError(arg + " needs a file name");
      slot->file = PathFromUtf8(*v);
    } else if (slot && rest == "-offset") {
      auto v = need();
      auto o = v ? ParseOffset(*v) : std::nullopt;
      if (!o) return UsageError(arg + " needs X,Y (whole numbers)");
      slot->offset = *o;
    } else if (slot && rest == "-index") {
      auto v = need();
      auto i = v ? ParseInt<int>(*v) : std::nullopt;
      if (!i) return UsageError(arg + " needs a whole number");
      slot->index = *i;
    } else if (slot && rest == "-id") {
      auto v = need();
      if (!v || v->empty()) return UsageError(arg + " needs a resource id or name");
      slot->id = *v;
    } else if (slot && rest == "-small" && !inline_value) {
      slot->small = true;
    } else {
      return UsageError("unknown option '" + arg + "'");
    }
  }
  if (!haveOutput) return UsageError("compose needs -o OUT.ico");
  for (const char* which : {"upper", "lower"})
    if (seen.count(std::string("--") + which + "-index") && seen.count(std::string("--") + which + "-id"))
      return UsageError(std::string("--") + which + "-index and --" + which + "-id both choose the " + which +
                        " icon");
  if (args.bmp && SameFile(args.output, *args.bmp)) return UsageError("-o and --bmp name the same file");
  if (args.depthGiven && !args.sizes.empty())
    return UsageError("--depth does not apply to a multi-size icon (--sizes)");
  return std::nullopt;
}

int ParseCompose(ArgCursor& cur) {
  ComposeArgs args;
  if (const auto status = ParseComposeArgs(cur, args)) return *status;
  return Compose(args);
}

// Splits a line as a POSIX shell splits words: blanks separate, '...'
// keeps everything, "..." keeps everything but \" \\ \$ \`, a backslash
// outside quotes keeps the next character. Nothing when a quote is left
// open. A word starting with # begins a comment.
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

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

void ShowProgress(std::size_t done, std::size_t total) {
  constexpr std::size_t kWidth = 30;
  const std::size_t filled = total ? done * kWidth / total : kWidth;
  const std::string bar = "\r[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + "] " +
                          std::to_string(done) + '/' + std::to_string(total);
  Write(stderr, bar);
  std::fflush(stderr);
  g_barShown = true;
}

// One compose per line (its options, "compose" in front optional; blank
// lines and # comments skipped) in this one process, the sources shared
// between lines. A failing line is reported with its number and the rest
// still run.
int Batch(const std::string& name) {
  std::vector<std::string> lines;
  {
    std::string text;
    if (name == "-") {
      char chunk[64 * 1024];
      for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0;) text.append(chunk, n);
    } else {
      const auto file = pg::MappedFile::Open(PathFromUtf8(name));
      if (!file) return FileError(PathFromUtf8(name), file.error());
      const pg::Bytes bytes = file->Data();
      text.assign(bytes.begin(), bytes.end());
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
    if (bar) ShowProgress(n, lines.size());
    g_context = shown + ":" + std::to_string(n + 1) + ": ";
    auto words = SplitLine(lines[n]);
    int status = kExitOk;
    if (!words) {
      status = UsageError("a quote is not closed");
    } else if (!words->empty()) {
      if (words->front() == "compose") words->erase(words->begin());
      ArgCursor cur(std::move(*words));
      ComposeArgs args;
      const auto parsed = ParseComposeArgs(cur, args);
      status = parsed ? *parsed : Compose(args, &flushes);
    }
    failed += status != kExitOk;
  }
  g_context.clear();
  flushes.Flush();
  if (bar) {
    ShowProgress(lines.size(), lines.size());
    Write(stderr, "\n");
    g_barShown = false;
  }
  if (failed) Err() << shown << ": " << failed << " of " << lines.size() << " lines failed\n";
  return failed ? kExitFailure : kExitOk;
}

int RunCommand(std::vector<std::string> args) {
  if (args.empty()) return UsageError("no command given");
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") {
    Write(stdout, kUsage);
    return kExitOk;
  }
  if (command == "--version") {
    Write(stdout, kVersion);
    return kExitOk;
  }
  ArgCursor cur(std::move(args));
  if (command == "compose") return ParseCompose(cur);
  if (command == "list") {
    if (cur.Done()) return UsageError("list needs a file");
    const std::string file = cur.Next();
    if (!cur.Done()) return UsageError("list takes one file");
    return List(PathFromUtf8(file));
  }
  if (command == "batch") {
    if (cur.Done()) return UsageError("batch needs a file, or - for standard input");
    const std::string file = cur.Next();
    if (!cur.Done()) return UsageError("batch takes one file");
    return Batch(file);
  }
  return UsageError("unknown command '" + command + "'");
}

int Run(std::vector<std::string> args) {
  try {
    return RunCommand(std::move(args));
  } catch (const std::bad_alloc&) {
    Err() << pg::ErrorText(pg::Error::kOutOfMemory) << "\n";
    return kExitFailure;
  }
}

}  // namespace

#ifdef _WIN32
// Wide arguments, so every file name reaches the core whatever the code page.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const auto u8 = fs::path(argv[i]).u8string();
    args.emplace_back(u8.begin(), u8.end());
  }
  return Run(std::move(args));
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
