// 16-bit NE executables and .icl libraries, seeded with NE files.
#include "icon_source_fuzz.h"
