// ".pac" files: a 904-byte block, then two complete bitmap files, a colour
// image and its mask. The conversion paints every pixel the mask marks white
// in the key colour and gives the colour image back as a bitmap file in
// memory, which the picker then offers as one icon.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/byte_reader.h"
#include "imaging/result.h"

namespace pg {

// A .pac carries a 16 x 16 picture. Run-length pixels let its few kilobytes
// claim a picture of any size, and the conversion writes the whole colour
// image out again, so pictures above this size are refused.
inline constexpr int kMaxPackedBitmapDimension = 256;

Result<std::vector<std::uint8_t>> ConvertPackedBitmap(Bytes pacFile);

}  // namespace pg
