// .pac files: the conversion, then the bitmap it gives as an icon source.
#include <cstddef>
#include <cstdint>

#include "imaging/icon_source.h"
#include "imaging/packed_bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto bmp = pg::ConvertPackedBitmap(pg::Bytes(data, size));
  if (!bmp) return 0;
  auto src = pg::OpenIconSource(*bmp);
  if (!src) __builtin_trap();  // a converted file must always open
  (void)(*src)->Extract(0, pg::kCellSize);
  (void)(*src)->Extract(0, pg::kSmallSize);
  return 0;
}
