// The shared library's own unit: everything else comes whole from the engine,
// of which only the names in include/encounter are exported.
#include "encounter/encounter.h"
