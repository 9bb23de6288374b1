// The icon resources of 16-bit NE executables and .icl icon libraries (NE
// files that hold nothing but resources).
#pragma once

#include "imaging/pe_resources.h"

namespace pg {

// Largest rscAlignShift accepted; real files use 4 to 9, and a larger one
// would only serve to scale a 16-bit field past any file.
inline constexpr unsigned kMaxNeAlignShift = 16;

// RT_GROUP_ICON and RT_ICON of an NE file. Icon ids are rnID & 0x7FFF, the
// value the group entries name. Numeric and named groups are supported.
Result<ExeIconResources> ReadNeIconResources(Bytes file);

}  // namespace pg
