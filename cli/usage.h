// The texts --help and --version print.
#pragma once

#include <string_view>

#include "pg_version.h"

namespace pgcli {

inline constexpr std::string_view kVersion = "pairglyph " PG_VERSION "\n";

inline constexpr std::string_view kUsage =
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

}  // namespace pgcli
