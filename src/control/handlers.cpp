#include "control/handlers.h"

#include "setup/initial_conditions.h"
#include "setup/number_text.h"
#include "setup/presets.h"
#include "setup/read_fields.h"
#include "simulation/run_loop.h"
#include "port/control_flow.h"

namespace lab {

void Form_Load(SimState& s, DisplayPort& port) {
  port.ArrangeWindows();
  port.SetButtonCaption(Button::CommandStop, "Stop");
  s.runstate = -1;
  s.testno = 0;
  INIT0(s, port);
}

void CommandStart_Click(SimState& s, DisplayPort& port) {
  port.SetButtonCaption(Button::CommandStop, "Stop");
  s.runstate = 0;
  for (int i = 0; i < kResultFields; ++i) port.SetResultText(i, "");
  // A series is running: it unwinds to the Start that began it, which then
  // runs the new one. Nothing of the old series runs again.
  if (s.inseries) throw SeriesReplaced{};
  s.inseries = 1;
  for (;;) {
    try {
      RunTests(s, port);
    } catch (const SeriesReplaced&) {
    }
  }
}

void CommandStop_Click(SimState& s, DisplayPort& port) {
  if (s.runstate == 0) {
    s.runstate = 1;
    port.SetButtonCaption(Button::CommandStop, "Cancel");
  } else if (s.runstate == 1) {
    s.runstate = 2;
  } else {
    port.EndProgram();
  }
}

void CommandNext_Click(SimState& s, DisplayPort& port) {
  s.endtest = 1;
  if (s.endcause == kEndNone) s.endcause = kEndNext;
  s.waitnext = 0;
  port.SetButtonCaption(Button::CommandNext, "Next");
}

void CommandClear_Click(SimState&, DisplayPort& port) { port.ClearTrajectory(); }

void Text1_Change(SimState& s, DisplayPort& port, int index) {
  if (index != 10) return;
  s.testno = ReadNumber(port.GetFieldText(10));
  INIT0(s, port);
  INIT1(s, port);
  INITIALISE(s, port);
}

void ClickButton(SimState& s, DisplayPort& port, Button button) {
  switch (button) {
    case Button::CommandStart: CommandStart_Click(s, port); break;
    case Button::CommandStop: CommandStop_Click(s, port); break;
    case Button::CommandNext: CommandNext_Click(s, port); break;
    case Button::CommandClear: CommandClear_Click(s, port); break;
  }
}

}  // namespace lab
