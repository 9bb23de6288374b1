// pairglyph: the command line over the same core as Tessary. It composes two
// icons exactly as the window does and writes the icon Save writes, and it
// lists the icons a file holds.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bmp.h"
#include "file_io.h"
#include "icon_source.h"
#include "icon_writer.h"
#include "keysplit.h"
#include "layers.h"
#include "packed_bitmap.h"
#include "multi_size.h"

namespace {

namespace fs = std::filesystem;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr std::string_view kUsage =
    R"(usage: pairglyph compose -o OUT.ico [options]
       pairglyph list FILE
       pairglyph --help

compose   lays the lower icon, then the upper icon, over the key colour
          RGB(64, 96, 128) in a 32x32 cell and writes the result as a
          single-image icon in which every key-coloured pixel is transparent.
  -o, --output FILE       the icon file to write (replaced only when the write
                          has succeeded)
  --depth 8|24            bits per pixel (default 8; an 8-bit icon falls back
                          to 24 bits when the picture has more than 236
                          colours beyond the ten first system colours)
  --bmp FILE              also write the 32x32 composite, key colour included,
                          as a 24-bit bitmap
  --upper FILE            the upper icon: an .ico file, an executable or
                          library (EXE, DLL, ICL, 16-bit NE), a bitmap, or a
                          .pac packed bitmap (told by its extension)
  --lower FILE            the lower icon, the same kinds of file
  --upper-index N         which icon of the file (default 0); N below -1 names
  --lower-index N         the icon group whose resource id is -N
  --upper-small           take the small (16x16) icon instead of the large one
  --lower-small
  --upper-offset X,Y      where the icon's 32x32 cell lies in the composite
  --lower-offset X,Y      (default 0,0; may be negative: --upper-offset=-5,3)
  --sizes LIST            write a multi-size icon instead: the same
                          composition at each size of LIST (from 16, 20, 24,
                          32, 40, 48, 64, 256, comma-separated, or "all"),
                          each from the sources' own images, 32 bits with
                          alpha (256 as PNG); offsets stay those of the 32x32
                          cell. Not with --depth.
  An omitted slot is empty.

  -o and --bmp are written together: both files are replaced, or neither.

list      prints one line per icon of FILE: its index, the sizes and depths
          its group holds, and its resource id or name. An icon that compose
          could not use is listed as "damaged" with what is wrong with it.

Limits: files up to 128 MB; icon images up to 4096 pixels a side and
4 million pixels; bitmaps up to 16384 pixels a side and 16 million pixels;
.pac pictures up to 256 x 256; a file's images decoded for its large and
small icons together up to 16 million pixels.

Exit status: 0 on success, 1 when a file is missing, damaged or cannot be
written (or, for list, holds a damaged icon), 2 on bad usage.
)";

std::string Display(const fs::path& p) {
  const auto u8 = p.u8string();
  return std::string(u8.begin(), u8.end());
}

int UsageError(std::string_view what) {
  std::cerr << "pairglyph: " << what << "\n\n" << kUsage;
  return kExitUsage;
}

int FileError(const fs::path& file, pg::Error e) {
  std::cerr << "pairglyph: " << Display(file) << ": " << pg::ErrorText(e) << "\n";
  return kExitFailure;
}

int WriteError(const pg::WriteResult& w) {
  std::cerr << "pairglyph: " << Display(w.file) << ": " << w.Text() << "\n";
  return kExitFailure;
}

// .pac files have no signature: they are told by their extension, as the
// window tells a dropped one.
bool IsPackedBitmap(const fs::path& p) {
  std::string ext = Display(p.extension());
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext == ".pac";
}

pg::Result<std::unique_ptr<pg::IconSource>> OpenSource(const fs::path& path) {
  if (!IsPackedBitmap(path)) return pg::OpenIconSourceFile(path);
  auto pac = pg::ReadFileBytes(path);
  if (!pac) return pac.error();
  auto bmp = pg::ConvertPackedBitmap(*pac);
  if (!bmp) return bmp.error();
  return pg::OpenIconSource(*bmp);
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
pg::Error LoadSlot(const SlotArgs& slot, pg::Slot which, bool everySize, pg::LayerModel& model) {
  auto source = OpenSource(*slot.file);
  if (!source) return source.error();
  if ((*source)->Count() < 1) return pg::Error::kNotIconSource;
  auto icon = (*source)->Extract(slot.index, slot.small ? pg::kSmallSize : pg::kCellSize);
  if (!icon) return icon.error();
  if (!everySize) {
    model.SetIcon(which, std::move(*icon));
    return pg::Error::kOk;
  }
  auto images = (*source)->ExtractSource(slot.index, slot.small);
  if (!images) return images.error();
  model.SetIcon(which, std::move(*icon), std::move(*images));
  return pg::Error::kOk;
}

int Compose(const ComposeArgs& args) {
  pg::LayerModel model;
  for (auto [slot, which] : {std::pair{&args.upper, pg::Slot::kUpper},
                             std::pair{&args.lower, pg::Slot::kLower}}) {
    if (slot->file) {
      if (const auto e = LoadSlot(*slot, which, !args.sizes.empty(), model); e != pg::Error::kOk)
        return FileError(*slot->file, e);
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
  if (const auto w = pg::WriteFilesReplacing(outputs); !w.ok()) return WriteError(w);
  if (args.sizes.empty() && args.depth == 8 && file.bitsPerPixel == 24)
    std::cerr << "pairglyph: too many colours for 8 bits; wrote 24 bits per pixel\n";
  return kExitOk;
}

std::string GroupLabel(const pg::IconGroupInfo& info) {
  if (!info.name.empty()) {
    std::string name;
    for (char16_t c : info.name) name += c < 0x80 ? static_cast<char>(c) : '?';
    return "name " + name;
  }
  return "id " + std::to_string(info.resourceId);
}

// Lists every icon with the verdict compose would reach on it: an icon is
// damaged when its large or its small icon cannot be extracted.
int List(const fs::path& path) {
  auto source = OpenSource(path);
  if (!source) return FileError(path, source.error());
  const pg::IconSource& s = **source;
  if (s.Count() < 1) return FileError(path, pg::Error::kNotIconSource);
  int status = kExitOk;
  for (int i = 0; i < s.Count(); ++i) {
    const pg::IconGroupInfo info = s.Info(i);
    pg::Error verdict = info.status;
    for (int size : {pg::kCellSize, pg::kSmallSize})
      if (verdict == pg::Error::kOk) verdict = s.Extract(i, size).error();
    std::cout << i;
    if (verdict != pg::Error::kOk) {
      std::cout << "\tdamaged: " << pg::ErrorText(verdict);
      std::cerr << "pairglyph: " << Display(path) << ": icon " << i << ": " << pg::ErrorText(verdict) << "\n";
      status = kExitFailure;
    } else {
      const char* sep = "\t";
      for (const auto& e : info.entries) {
        std::cout << sep << e.width << 'x' << e.height << ' ' << e.bitsPerPixel << "bpp";
        sep = ", ";
      }
    }
    if (s.Kind() == pg::SourceKind::kPeImage || s.Kind() == pg::SourceKind::kNeImage)
      std::cout << "\t(" << GroupLabel(info) << ')';
    std::cout << '\n';
  }
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

int ParseCompose(ArgCursor& cur) {
  ComposeArgs args;
  bool haveOutput = false;
  while (!cur.Done()) {
    std::string arg = cur.Next();
    std::optional<std::string> inline_value;
    if (arg.rfind("--", 0) == 0) {
      if (const auto eq = arg.find('='); eq != std::string::npos) {
        inline_value = arg.substr(eq + 1);
        arg.resize(eq);
      }
    }
    const auto need = [&]() -> std::optional<std::string> { return cur.Value(inline_value); };
    SlotArgs* slot = arg.rfind("--upper", 0) == 0 ? &args.upper
                     : arg.rfind("--lower", 0) == 0 ? &args.lower : nullptr;
    const std::string_view rest = slot ? std::string_view(arg).substr(7) : std::string_view{};

    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
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
    } else if (slot && rest == "-small" && !inline_value) {
      slot->small = true;
    } else {
      return UsageError("unknown option '" + arg + "'");
    }
  }
  if (!haveOutput) return UsageError("compose needs -o OUT.ico");
  if (args.bmp && SameFile(args.output, *args.bmp)) return UsageError("-o and --bmp name the same file");
  if (args.depthGiven && !args.sizes.empty())
    return UsageError("--depth does not apply to a multi-size icon (--sizes)");
  return Compose(args);
}

int RunCommand(std::vector<std::string> args) {
  if (args.empty()) return UsageError("no command given");
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage;
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
  return UsageError("unknown command '" + command + "'");
}

int Run(std::vector<std::string> args) {
  try {
    return RunCommand(std::move(args));
  } catch (const std::bad_alloc&) {
    std::cerr << "pairglyph: " << pg::ErrorText(pg::Error::kOutOfMemory) << "\n";
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
