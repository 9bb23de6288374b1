// Cursors (.cur), animated cursors (.ani: RIFF chunks, frames inside a LIST)
// and PNG files, seeded with one of each.
#include "icon_source_fuzz.h"
