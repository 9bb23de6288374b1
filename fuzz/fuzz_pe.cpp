// Executables and libraries (PE32, PE32+), seeded with PE files.
#include "icon_source_fuzz.h"
