// The body shared by the executable fuzz targets: open through the
// icon-source API, list every icon, extract each as a large and a small icon
// and by its resource id. The targets differ only in their seed corpora.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/icon_source.h"

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
