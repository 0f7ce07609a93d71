#include "setup/initial_conditions.h"
namespace lab {
bool INITIALISE(SimState&, DisplayPort&) { return true; }
}  // namespace lab
