// Executables and libraries (PE32, PE32+) through the icon-source API: open,
// list every icon, extract each as a large and a small icon.
#include <cstddef>
#include <cstdint>

#include "icon_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto src = pg::OpenIconSource(pg::Bytes(data, size));
  if (!src) return 0;
  const pg::IconSource& s = **src;
  for (int i = 0; i < s.Count(); ++i) {
    (void)s.Info(i);
    (void)s.Extract(i, pg::kCellSize);
    (void)s.Extract(i, pg::kSmallSize);
    const auto id = s.Info(i).resourceId;
    if (id != 0) (void)s.Extract(-static_cast<int>(id));
  }
  return 0;
}
