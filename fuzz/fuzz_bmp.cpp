// Bitmap files and packed DIBs: the same bytes through both entry points,
// and once more without a file header, so every seed exercises the DIB
// parser directly too.
#include <cstddef>
#include <cstdint>

#include "imaging/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const pg::Bytes bytes(data, size);
  if (auto image = pg::ReadBmp(bytes); image.ok()) (void)pg::WriteBmp24(*image);
  (void)pg::ReadPackedDib(bytes);
  if (size > 14) (void)pg::ReadPackedDib(bytes.subspan(14));
  return 0;
}
