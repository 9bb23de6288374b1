// Writes the seed corpora: a few small, valid files of every variant the
// readers support. Usage: pg_fuzz_seeds <fuzz/corpus folder>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "image_fixtures.h"

namespace {

using namespace pg::fixtures;
namespace fs = std::filesystem;

void Write(const fs::path& path, const ByteVec& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::uint32_t Index(int x, int y, int n) { return static_cast<std::uint32_t>((x + 2 * y) % n); }
std::uint32_t Rgb24(int x, int y) { return static_cast<std::uint32_t>(x * 0x251307 + y * 0x0B1C2D) & 0xFFFFFF; }
bool Holes(int x, int y) { return (x ^ y) % 3 == 0; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  fs::create_directories(root / "bmp");
  fs::create_directories(root / "ico");

  // Bitmaps: every depth, header and compression, 7 x 5 so rows pad.
  const int w = 7, h = 5;
  for (int bpp : {1, 4, 8}) {
    const int n = 1 << bpp;
    Write(root / "bmp" / ("pal" + std::to_string(bpp) + ".bmp"),
          MakeBmpFile(DibHeader{.width = w, .height = h, .bitCount = static_cast<std::uint16_t>(bpp)},
                      TestPalette(n), PackRows(w, h, bpp, [n](int x, int y) { return Index(x, y, n); })));
  }
  Write(root / "bmp" / "core8.bmp",
        MakeBmpFile(DibHeader{.size = 12, .width = w, .height = h, .bitCount = 8}, TestPalette(256),
                    PackRows(w, h, 8, [](int x, int y) { return Index(x, y, 256); })));
  Write(root / "bmp" / "rgb24topdown.bmp",
        MakeBmpFile(DibHeader{.width = w, .height = -h, .bitCount = 24}, {}, PackRows(w, h, 24, Rgb24, true)));
  Write(root / "bmp" / "rgb16-565.bmp",
        MakeBmpFile(DibHeader{.width = w, .height = h, .bitCount = 16, .compression = 3}, {},
                    PackRows(w, h, 16, [](int x, int y) { return std::uint32_t(x * 0x0841 + y * 0x1000); }),
                    {0xF800, 0x07E0, 0x001F}));
  Write(root / "bmp" / "rgba32v5.bmp",
        MakeBmpFile(DibHeader{.size = 124, .width = w, .height = h, .bitCount = 32, .compression = 3,
                              .masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}},
                    {}, PackRows(w, h, 32, [](int x, int y) { return Rgb24(x, y) | 0x80000000u; })));
  Write(root / "bmp" / "rle8.bmp",
        MakeBmpFile(DibHeader{.width = 8, .height = 3, .bitCount = 8, .compression = 1, .clrUsed = 16},
                    TestPalette(16),
                    ByteVec{3, 5, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 4, 9, 0, 1}));
  Write(root / "bmp" / "rle4.bmp",
        MakeBmpFile(DibHeader{.width = 8, .height = 3, .bitCount = 4, .compression = 2}, TestPalette(16),
                    ByteVec{3, 0x12, 0, 5, 0x34, 0x56, 0x70, 0, 0, 0, 0, 2, 1, 1, 3, 0xAB, 0, 1}));

  // Icons: every depth, PNG, and a file with several sizes.
  ByteVec multi;
  std::vector<IcoEntry> several;
  for (int bpp : {1, 4, 8, 16, 24, 32}) {
    const int n = bpp <= 8 ? 1 << bpp : 0;
    const ByteVec dib = MakeIconDib(
        8, 6, bpp,
        [bpp, n](int x, int y) {
          if (bpp <= 8) return Index(x, y, n);
          if (bpp == 16) return std::uint32_t(x * 0x0421 + y);
          if (bpp == 32 && y % 2 == 0) return Rgb24(x, y) | (x % 2 ? 0xFF000000u : 0x40000000u);
          return Rgb24(x, y);
        },
        Holes);
    Write(root / "ico" / ("dib" + std::to_string(bpp) + ".ico"), MakeIcoFile({{dib, 8, 6, bpp}}));
  }
  const ByteVec png = MakePng(6, 4, [](int x, int y) { return Rgb24(x, y) | (x < 3 ? 0xFF000000u : 0x10000000u); });
  Write(root / "ico" / "png.ico", MakeIcoFile({{png, 6, 4, 32}}));
  several.push_back({MakeIconDib(16, 16, 4, [](int x, int y) { return Index(x, y, 16); }, Holes), 16, 16, 4});
  several.push_back({MakeIconDib(24, 24, 8, [](int x, int y) { return Index(x, y, 256); }, Holes), 24, 24, 8});
  several.push_back({MakeIconDib(12, 40, 24, Rgb24, Holes), 12, 40, 24});
  Write(root / "ico" / "several.ico", MakeIcoFile(several));

  // Clipboard blocks: packed DIBs as CF_DIB and CF_DIBV5 carry them (one
  // with its masks repeated after a V5 header, one rounded up with slack)
  // and a "PNG" stream with alpha.
  fs::create_directories(root / "clipboard");
  Write(root / "clipboard" / "dib8",
        MakeDib(DibHeader{.width = w, .height = h, .bitCount = 8, .clrUsed = 5}, TestPalette(5),
                PackRows(w, h, 8, [](int x, int y) { return Index(x, y, 5); })));
  ByteVec slack = MakeDib(DibHeader{.width = w, .height = h, .bitCount = 32}, {},
                          PackRows(w, h, 32, [](int x, int y) { return Rgb24(x, y) | (x % 2 ? 0xFF000000u : 0u); }));
  slack.resize(slack.size() + 12, 0);
  Write(root / "clipboard" / "dib32alpha", slack);
  const DibHeader v5{.size = 124, .width = w, .height = -h, .bitCount = 32, .compression = 3,
                     .masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}};
  Write(root / "clipboard" / "dibv5masks",
        MakeDib(v5, {}, PackRows(w, h, 32, [](int x, int y) { return Rgb24(x, y) | 0x80000000u; }, true),
                {0x00FF0000, 0x0000FF00, 0x000000FF}));
  Write(root / "clipboard" / "png", png);
  return 0;
}
