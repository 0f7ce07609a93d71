// The desktop program: the three windows, the display port on them and the
// start-up handler; from then on the user drives it.
#include <QApplication>

#include "state/sim_state.h"
#include "ui/handlers.h"
#include "ui/qt/control_display.h"
#include "ui/qt/data_display.h"
#include "ui/qt/qt_port.h"
#include "ui/qt/trajectory_display.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The program ends through EndProgram (or the close of the Control
  // Display), never because the last window went.
  QApplication::setQuitOnLastWindowClosed(false);

  lab::SimState s;  // the one record, for the life of the program
  lab::Form1 form1;
  lab::Form2 form2;
  lab::Form3 form3;
  lab::QtPort port(s, form1, form2, form3);

  // Shown before the start-up handler runs, so that ArrangeWindows reads the
  // Control Display's outer size, frame included. No user event is handled
  // before Form_Load: those wait for the event loop.
  form1.show();
  port.RunHandler([&] { lab::Form_Load(s, port); });
  if (port.Ended()) return port.ExitCode();
  const int code = QApplication::exec();
  return port.Ended() ? port.ExitCode() : code;
}
