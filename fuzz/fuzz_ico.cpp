// .ico files: the directory, every image (DIB or PNG) and the choice of the
// large and small icon, which scales when no image has the exact size.
#include <cstddef>
#include <cstdint>

#include "imaging/ico_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const pg::Bytes bytes(data, size);
  if (auto images = pg::ReadIcoImages(bytes); images.ok()) {
    (void)pg::ChooseIconImage(*images, pg::kCellSize);
    (void)pg::ChooseIconImage(*images, pg::kSmallSize);
  }
  // The bytes as a lone icon image, as an RT_ICON resource holds one.
  (void)pg::DecodeIconImage(bytes);
  return 0;
}
