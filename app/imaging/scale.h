// Pictures for a display scale without blending: an icon's own image of the
// scaled size where its file has one, otherwise a pixel-exact enlargement
// in which every device pixel shows exactly one picture pixel, so no colour
// appears that the picture does not have.
#pragma once

#include "imaging/icon.h"
#include "imaging/icon_source.h"
#include "imaging/image.h"
#include "imaging/result.h"

namespace pg {

// `src` enlarged (or reduced) to width x height by nearest-centre sampling:
// destination pixel (x, y) takes source pixel
// (floor((x + 1/2) * w / width), floor((y + 1/2) * h / height)); a centre on
// a boundary between two source pixels takes the right or lower one. At a
// whole factor every source pixel becomes one uniform block, exactly as
// Enlarge. An empty source or size gives an empty image.
Image EnlargeNearest(const Image& src, int width, int height);
// The same, n x n from a square picture (a 32x32 slot at 32 * s).
Image EnlargeNearest(const Image& src, int n);
// The same into `dst`, whose size is the target's, so a caller that
// repaints on every pointer move allocates nothing.
void EnlargeNearestInto(const Image& src, Image& dst) noexcept;

// An icon's colour and mask enlarged alike: a pixel stays opaque or
// transparent as it is in the icon.
Icon EnlargeNearest(const Icon& icon, int width, int height);

// The size an icon of `size` pixels is shown at when a 32x32 one is shown at
// n: size * n / 32, halves rounded up (32 -> n). n >= 1, size >= 0.
int ScaledIconSize(int size, int n) noexcept;

// Icon `index` of `source` (IconSource::Extract's indices) for a list or
// box that shows the 32x32 icon at n x n device pixels (n = 32 * s):
//   - n = 32: the large icon, as Extract gives it;
//   - the icon's own image of exactly n x n when its group has one
//     (a library's 48x48 at 150 %, 64x64 at 200 %), as Extract(index, n)
//     decodes it;
//   - otherwise the large icon enlarged by nearest-centre sampling to
//     ScaledIconSize of its size (n x n for a 32x32 icon).
// Never a blend of the file's pixels that the large icon does not show.
// The errors are Extract's. 1 <= n <= 256.
Result<Icon> IconForScale(const IconSource& source, int index, int n);

}  // namespace pg
