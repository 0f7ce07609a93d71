// What happens because the user acts: the start-up handler, the four buttons
// of the Control Display and the field-changed event of its fields. The
// windows call these; the logic never does.
#pragma once

#include "state/sim_state.h"
#include "port/display_port.h"

namespace lab {

void Form_Load(SimState& s, DisplayPort& port);
void CommandStart_Click(SimState& s, DisplayPort& port);
void CommandStop_Click(SimState& s, DisplayPort& port);
void CommandNext_Click(SimState& s, DisplayPort& port);
void CommandClear_Click(SimState& s, DisplayPort& port);
void Text1_Change(SimState& s, DisplayPort& port, int index);

// Runs the click handler of a button.
void ClickButton(SimState& s, DisplayPort& port, Button button);

}  // namespace lab
