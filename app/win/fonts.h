// The windows' text face: "ＭＳ Ｐゴシック" (Shift-JIS character set), or
// its English name on a system that lists it so, or the system's message
// font where neither is installed.
#pragma once

#include "win/handles.h"

namespace pgw {

// A font of that face with a cell `height` pixels high.
unique_hfont MakeUiFont(int height);

}  // namespace pgw
