// The command line read into a value, and a batch line split into words:
// tables of inputs and the value or the one-line error each gives.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "options.h"
#include "words.h"

namespace pgcli {
namespace {

using Kind = Command::Kind;
using Words = std::vector<std::string>;

Words Split(const std::string& line) { return SplitLine(line).value_or(Words{"<open quote>"}); }

TEST(CommandLine, EachCommandLineGivesItsCommandOrOneLineOfError) {
  struct Case {
    std::string line;
    Kind kind;
    std::string error;  // for kUsageError
  };
  const Case cases[] = {
      {"", Kind::kUsageError, "no command given"},
      {"--help", Kind::kHelp, ""},
      {"-h", Kind::kHelp, ""},
      {"help", Kind::kHelp, ""},
      {"--version", Kind::kVersion, ""},
      {"frobnicate", Kind::kUsageError, "unknown command 'frobnicate'"},
      {"list", Kind::kUsageError, "list needs a file"},
      {"list a b", Kind::kUsageError, "list takes one file"},
      {"batch", Kind::kUsageError, "batch needs a file, or - for standard input"},
      {"batch a b", Kind::kUsageError, "batch takes one file"},
      {"compose", Kind::kUsageError, "compose needs -o OUT.ico"},
      {"compose -o", Kind::kUsageError, "-o needs a file name"},
      {"compose --output=", Kind::kUsageError, "-o needs a file name"},
      {"compose -o a.ico --help", Kind::kHelp, ""},
      {"compose -o a.ico -o b.ico", Kind::kUsageError, "-o (--output) is given more than once"},
      {"compose -o a.ico --output b.ico", Kind::kUsageError, "--output is given more than once"},
      {"compose -o a.ico --depth 16", Kind::kUsageError, "--depth must be 8 or 24"},
      {"compose -o a.ico --sizes 17", Kind::kUsageError,
       "--sizes needs \"all\" or sizes from 16,20,24,32,40,48,64,256"},
      {"compose -o a.ico --sizes 16, --depth 8", Kind::kUsageError,
       "--sizes needs \"all\" or sizes from 16,20,24,32,40,48,64,256"},
      {"compose -o a.ico --sizes all --depth 24", Kind::kUsageError,
       "--depth does not apply to a multi-size icon (--sizes)"},
      {"compose -o a.ico --upper", Kind::kUsageError, "--upper needs a file name"},
      {"compose -o a.ico --lower-offset 3", Kind::kUsageError, "--lower-offset needs X,Y (whole numbers)"},
      {"compose -o a.ico --upper-offset 1,x", Kind::kUsageError, "--upper-offset needs X,Y (whole numbers)"},
      {"compose -o a.ico --upper-index one", Kind::kUsageError, "--upper-index needs a whole number"},
      {"compose -o a.ico --lower-id=", Kind::kUsageError, "--lower-id needs a resource id or name"},
      {"compose -o a.ico --upper-small=1", Kind::kUsageError, "unknown option '--upper-small'"},
      {"compose -o a.ico --middle x", Kind::kUsageError, "unknown option '--middle'"},
      {"compose -o a.ico --upper-index 1 --upper-id 5", Kind::kUsageError,
       "--upper-index and --upper-id both choose the upper icon"},
      {"compose -o a.ico --bmp a.ico", Kind::kUsageError, "-o and --bmp name the same file"},
      {"compose -o a.ico --bmp ./a.ico", Kind::kUsageError, "-o and --bmp name the same file"},
      {"compose -o a.ico", Kind::kCompose, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const Command got = ParseCommand(Split(c.line));
    EXPECT_EQ(got.kind, c.kind);
    EXPECT_EQ(got.error, c.error);
  }
}

TEST(CommandLine, ComposeOptionsAreReadIntoTheirValues) {
  const Command c = ParseCommand(Split(
      "compose --output=out.ico --bmp pic.bmp --sizes 48,16,48 --upper up.dll --upper-index=-300 "
      "--upper-offset=-5,3 --upper-small --lower lo.ico --lower-id ZETA --lower-offset +2,-0"));
  ASSERT_EQ(c.kind, Kind::kCompose) << c.error;
  const ComposeArgs& a = c.compose;
  EXPECT_EQ(a.output, fs::path("out.ico"));
  EXPECT_EQ(a.bmp, fs::path("pic.bmp"));
  EXPECT_EQ(a.sizes, (std::vector<int>{48, 16}));
  EXPECT_EQ(a.depth, 8);
  EXPECT_FALSE(a.depthGiven);
  EXPECT_EQ(a.upper.file, fs::path("up.dll"));
  EXPECT_EQ(a.upper.index, -300);
  EXPECT_EQ(a.upper.offset, (pg::Offset{-5, 3}));
  EXPECT_TRUE(a.upper.small);
  EXPECT_FALSE(a.upper.id);
  EXPECT_EQ(a.lower.file, fs::path("lo.ico"));
  EXPECT_EQ(a.lower.id, std::optional<std::string>("ZETA"));
  EXPECT_EQ(a.lower.offset, (pg::Offset{2, 0}));
  EXPECT_FALSE(a.lower.small);

  const Command all = ParseComposeOptions(Split("-o x.ico --sizes all"));
  ASSERT_EQ(all.kind, Kind::kCompose);
  EXPECT_EQ(all.compose.sizes, (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 256}));
  const Command deep = ParseComposeOptions(Split("-o x.ico --depth=24"));
  ASSERT_EQ(deep.kind, Kind::kCompose);
  EXPECT_EQ(deep.compose.depth, 24);
  EXPECT_EQ(ParseCommand(Split("list 'a b.dll'")).file, "a b.dll");
  EXPECT_EQ(ParseCommand(Split("batch -")).file, "-");
}

TEST(BatchWords, ALineSplitsAsAShellSplitsIt) {
  struct Case {
    std::string line;
    std::optional<Words> words;  // nothing: a quote left open
  };
  const Case cases[] = {
      {"", Words{}},
      {"   \t ", Words{}},
      {"# a comment", Words{}},
      {"-o a.ico  --upper\tb.ico\r", Words{"-o", "a.ico", "--upper", "b.ico"}},
      {"-o a.ico # the rest is a comment", Words{"-o", "a.ico"}},
      {"-o a#b.ico", Words{"-o", "a#b.ico"}},
      {"'two words' \"and more\"", Words{"two words", "and more"}},
      {"'it''s'", Words{"its"}},
      {"'a \\ b'", Words{"a \\ b"}},
      {R"("q\"q" "b\\s" "d\$" "t\`" "n\x")", Words{"q\"q", "b\\s", "d$", "t`", "n\\x"}},
      {R"(a\ b c\'d \#e)", Words{"a b", "c'd", "#e"}},
      {"x''y \"\"", Words{"xy", ""}},
      {"trailing\\", Words{"trailing"}},
      {"'open", std::nullopt},
      {"\"open", std::nullopt},
      {"\"ends in a backslash\\\"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(SplitLine(c.line), c.words);
  }
}

}  // namespace
}  // namespace pgcli
