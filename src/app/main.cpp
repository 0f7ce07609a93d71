// The desktop program: the three windows, the display port on them and the
// start-up handler; from then on the user drives it.
#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "setup/presets.h"
#include "state/sim_state.h"
#include "ui/qt/control_display.h"
#include "ui/qt/data_display.h"
#include "ui/qt/program_identity.h"
#include "ui/qt/qt_port.h"
#include "ui/qt/trajectory_display.h"
#include "ui/qt/window_layout.h"
#include "version.h"

namespace {

// The help; @SCENARIOS@ stands for the numbers of the scenarios.
constexpr char kHelp[] =
    "Usage: encounter [--reset-layout] [--help] [--version]\n"
    "\n"
    "A laboratory for close encounters of three gravitating bodies in a plane.\n"
    "It opens three windows: the Control Display (parameters, Start, Stop, Next,\n"
    "Clear), the Trajectory Display and the Data Display. Type the number of a\n"
    "scenario into the field \"test\" and press Start. The scenarios are\n"
    "@SCENARIOS@.\n"
    "\n"
    "The windows open where they were left, with the sizes they were given, when\n"
    "the program last ended; they are kept in\n"
    "$XDG_CONFIG_HOME/encounterlab/encounter.conf (~/.config by default).\n"
    "\n"
    "  --reset-layout  forget the kept sizes and places: the windows open as\n"
    "                  they did at the first start\n"
    "  --help          this text\n"
    "  --version       the program's version\n"
    "\n"
    "Series without windows: encounter-batch --help.\n";

std::string Help() {
  std::string help = kHelp;
  const std::string mark = "@SCENARIOS@";
  help.replace(help.find(mark), mark.size(), lab::PresetList());
  return help;
}

// --help and --version answer without a display; anything else is left to Qt.
int AnswerWithoutWindows(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    const bool help = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
    const bool version = std::strcmp(argv[i], "--version") == 0;
    if (!help && !version) continue;
    if (help) std::fputs(Help().c_str(), stdout);
    if (version) std::printf("encounter %s\n", lab::kVersion);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
  }
  return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (const int code = AnswerWithoutWindows(argc, argv); code >= 0) return code;
  const bool reset_layout = std::any_of(
      argv + 1, argv + argc, [](const char* a) { return std::strcmp(a, "--reset-layout") == 0; });
  QApplication app(argc, argv);
  // The program ends through EndProgram (or the close of the Control
  // Display), never because the last window went.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(lab::ProgramIcon());
  // Lets the desktop match the windows with the installed menu entry.
  QGuiApplication::setDesktopFileName("org.encounterlab.encounter");

  lab::SimState s;  // the one record, for the life of the program
  lab::Form1 form1;
  lab::Form2 form2;
  lab::Form3 form3;
  lab::QtPort port(s, form1, form2, form3);

  if (reset_layout) lab::ForgetLayout();
  port.RememberLayout();
  port.StartUp();
  if (port.Ended()) return port.ExitCode();
  const int code = QApplication::exec();
  return port.Ended() ? port.ExitCode() : code;
}
