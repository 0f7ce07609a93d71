#include "simulation/run_loop.h"
namespace lab {
void RunTests(SimState&, DisplayPort& port) { for (;;) port.WaitEvents(); }
}  // namespace lab
