// Writes the hostile inputs into a folder: the files that once cost the
// readers gigabytes or seconds, each a few kilobytes to a few megabytes.
// The command-line tests run pairglyph on them under memory and CPU limits,
// scripts/fuzz.sh replays them through the fuzz targets, and bench/ measures
// them. Usage: pg_hostile_inputs <folder>
//
//   pe/group-bomb.dll         one group naming a 4096 x 4096 PNG 200 times
//   pe/group-bomb-ok.dll      the same with a 1448 x 1448 PNG (within limits;
//                             half the largest, so that a sanitized fuzz
//                             run replays it well inside its time limit)
//   pe/many-groups.dll        40 groups each naming a 2048 x 2048 PNG
//   pe/directories.dll        262,140 empty language directories
//   ne/group-bomb.icl         the NE form of group-bomb-ok.dll
//   ico/inflate-bomb.ico      a 1 x 1 PNG whose stream inflates to 1.3 GB
//   ico/largest.ico           one 2048 x 2048 PNG, the largest icon image
//   bmp/rle-bomb.bmp          64 bytes claiming 16384 x 2048 pixels
//   bmp/rle-largest.bmp       the largest bitmap allowed, 16384 x 1024
//   pac/rle-bomb.pac          a .pac whose colour picture claims 16384 x 2048
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "hostile_fixtures.h"

namespace {

namespace fs = std::filesystem;
using pgtest::Buf;

void Write(const fs::path& path, const Buf& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  const Buf png4096 = pgtest::ZeroPng(4096, 4096), png2048 = pgtest::ZeroPng(2048, 2048);
  const Buf png1448 = pgtest::ZeroPng(1448, 1448);
  Write(root / "pe" / "group-bomb.dll", pgtest::GroupBombPe(png4096, 1, 200));
  Write(root / "pe" / "group-bomb-ok.dll", pgtest::GroupBombPe(png1448, 1, 200));
  Write(root / "pe" / "many-groups.dll", pgtest::GroupBombPe(png2048, 40, 1));
  Write(root / "pe" / "directories.dll", pgtest::ManyDirectoriesPe(131070));
  Write(root / "ne" / "group-bomb.icl", pgtest::GroupBombNe(png1448, 1, 200));
  Write(root / "ico" / "inflate-bomb.ico", pgtest::SingleImageIco(pgtest::Png(1, 1, pgtest::ZerosZlib(1300000000)), 1, 1));
  Write(root / "ico" / "largest.ico", pgtest::SingleImageIco(png2048, 2048, 2048));
  Write(root / "bmp" / "rle-bomb.bmp", pgtest::RleBomb(16384, 2048));
  Write(root / "bmp" / "rle-largest.bmp", pgtest::RleBomb(16384, 1024));
  const Buf mask = pgtest::BmpFile(16, 16, 24, std::vector<std::uint32_t>(256, 0));
  Write(root / "pac" / "rle-bomb.pac", pgtest::PacFile(pgtest::RleBomb(16384, 2048), mask));
  return 0;
}
