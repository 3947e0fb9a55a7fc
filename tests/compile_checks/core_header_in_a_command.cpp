// A command's source reaches the core through its facade only. This file names a header
// inside the core as a command would; the build of it must fail for want of that header.
#include "palette/slot_placement.h"
#include "palette/translation.h"
