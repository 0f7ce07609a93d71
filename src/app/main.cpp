// The desktop program: the three windows, the display port on them and the
// start-up handler; from then on the user drives it.
#include <QAction>
#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "setup/presets.h"
#include "state/sim_state.h"
#include "ui/qt/control_display.h"
#include "ui/qt/data_display.h"
#include "ui/qt/map_window.h"
#include "ui/qt/program_identity.h"
#include "ui/qt/qt_port.h"
#include "ui/qt/trajectory_display.h"
#include "ui/qt/window_layout.h"
#include "version.h"

namespace {

// The help; @SCENARIOS@ stands for the numbers of the scenarios.
constexpr char kHelp[] =
    "Usage: encounter [--map] [--reset-layout] [--help] [--version]\n"
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
    "Right-click the Control Display or the Data Display for the Outcome Map\n"
    "window: the outcome over the start angle and one more field at once. Every\n"
    "series run to its end and every map is kept in\n"
    "$XDG_DATA_HOME/encounterlab (~/.local/share by default), the last 50.\n"
    "\n"
    "  --map           open the Outcome Map window at start-up too\n"
    "  --reset-layout  forget the kept sizes and places: the windows open as\n"
    "                  they did at the first start\n"
    "  --help          this text\n"
    "  --version       the program's version\n"
    "\n"
    "It needs a display (X11 or Wayland); without one it says so and ends with\n"
    "status 1. Series without windows: encounter-batch --help.\n";

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

constexpr char kNoDisplay[] =
    "encounter: needs a display to open its windows (none is reachable: DISPLAY and "
    "WAYLAND_DISPLAY are unset or unusable); encounter-batch runs series without one\n";

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Whether a window system may be there: a platform chosen, or a display
// named. Without one Qt would abort; this says why in one line instead.
bool MayHaveDisplay() {
  if (Set("QT_QPA_PLATFORM")) {
    const std::string platform = std::getenv("QT_QPA_PLATFORM");
    if (platform.rfind("xcb", 0) == 0) return Set("DISPLAY");
    if (platform.rfind("wayland", 0) == 0) return Set("WAYLAND_DISPLAY");
    return true;  // offscreen, vnc, eglfs, ...: no display variable needed
  }
  return Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

// While the application starts, a display that is named but cannot be
// reached (Qt's fatal message about the platform plugin) ends the program
// with the same line and status 1. Qt's other messages wait until the start
// has succeeded, so that this line is the only one.
struct HeldMessage {
  QtMsgType type;
  std::string category;
  QString text;
};
std::vector<HeldMessage> held_messages;

void NoDisplayHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type != QtFatalMsg) {
    held_messages.push_back({type, context.category ? context.category : "", text});
    return;
  }
  std::fputs(kNoDisplay, stderr);
  std::_Exit(1);
}

void ReleaseMessages(QtMessageHandler handler) {
  qInstallMessageHandler(handler);
  for (const HeldMessage& m : held_messages) {
    const QMessageLogContext context(nullptr, 0, nullptr, m.category.c_str());
    if (handler) handler(m.type, context, m.text);
  }
  held_messages.clear();
}

}  // namespace

int main(int argc, char* argv[]) {
  if (const int code = AnswerWithoutWindows(argc, argv); code >= 0) return code;
  const auto given = [argc, argv](const char* option) {
    return std::any_of(argv + 1, argv + argc,
                       [option](const char* a) { return std::strcmp(a, option) == 0; });
  };
  const bool reset_layout = given("--reset-layout");
  const bool open_map = given("--map");
  if (!MayHaveDisplay()) {
    std::fputs(kNoDisplay, stderr);
    return 1;
  }
  const QtMessageHandler qt_handler = qInstallMessageHandler(NoDisplayHandler);
  QApplication app(argc, argv);
  ReleaseMessages(qt_handler);
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
  lab::Form4 form4(form1, port);
  for (QAction* open : {form1.OutcomeMapAction(), form3.OutcomeMapAction()})
    QObject::connect(open, &QAction::triggered, &form4, &lab::Form4::Open);

  if (reset_layout) lab::ForgetLayout();
  port.RememberLayout();
  port.StartUp();
  if (port.Ended()) return port.ExitCode();
  if (open_map) form4.Open();
  const int code = QApplication::exec();
  return port.Ended() ? port.ExitCode() : code;
}
