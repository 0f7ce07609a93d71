// What the Outcome Map window costs a map: the same map of preset 2, once
// with no window (the engine alone) and once in the window, drawn as its
// cells come (offscreen unless a platform is set). Prints both times, the
// time the window's thread spent on its events (taking cells, painting) as
// a share of the map's time, the time it took to keep the map at its end,
// and the longest wait of a cell before it was drawn. The window should cost
// at most 5 % and show a cell within 0.2 s. On a loaded machine the two
// times differ by more than the window's share: compare that share.
//
//   bench-map-window [ANGLES [Y_VALUES [INTEGRATOR]]]   (default 72 24 gauss-radau)
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "encounter/map.h"
#include "state/sim_state.h"
#include "ui/qt/control_display.h"
#include "ui/qt/data_display.h"
#include "ui/qt/map_window.h"
#include "ui/qt/qt_port.h"
#include "ui/qt/trajectory_display.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char* argv[]) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const int angles = argc > 1 ? std::atoi(argv[1]) : 72;
  const int ys = argc > 2 ? std::atoi(argv[2]) : 24;
  const std::string integrator = argc > 3 ? argv[3] : "gauss-radau";
  QTemporaryDir data_home;  // the kept map goes here, not to the user's folder
  setenv("XDG_DATA_HOME", data_home.path().toLocal8Bit().constData(), 1);
  const std::string end = std::to_string(5 + 10 * (angles - 1));
  QApplication app(argc, argv);

  // The engine alone.
  encounter::Scenario scenario{"2", {{"start", "5"}, {"end", end}, {"dalpha", "10"}}, {}};
  encounter::MapOptions options;
  options.series.integrator = integrator;
  const encounter::MapAxis axis{"dist2", 1.5, 3, ys, false};
  auto t0 = Clock::now();
  encounter::RunMap(scenario, axis, options, [](const encounter::MapCell&) {});
  const double alone = Seconds(Clock::now() - t0);

  // The same map in the window, the event loop run as the program runs it.
  lab::SimState s;
  lab::Form1 form1;
  lab::Form2 form2;
  lab::Form3 form3;
  lab::QtPort port(s, form1, form2, form3);
  port.StartUp();
  lab::Form4 window(form1, port);
  window.Open();
  form1.Text1(10)->setText(QStringLiteral("2"));
  form1.Text1(11)->setText(QStringLiteral("5"));
  form1.Text1(12)->setText(QString::fromStdString(end));
  form1.Text1(14)->setText(QStringLiteral("10"));
  window.YField()->setCurrentText(QStringLiteral("dist2"));
  window.From()->setText(QStringLiteral("1.5"));
  window.To()->setText(QStringLiteral("3"));
  window.Count()->setText(QString::number(ys));
  window.Integrator()->setCurrentText(QString::fromStdString(integrator));
  QApplication::processEvents();

  Clock::duration busy{};
  t0 = Clock::now();
  window.RunMap();
  Clock::duration keeping{};  // the last round: the map kept in the data folder
  while (!window.RunButton()->isEnabled()) {
    const auto t = Clock::now();
    QApplication::processEvents();
    (window.RunButton()->isEnabled() ? keeping : busy) += Clock::now() - t;
    QThread::msleep(2);
  }
  const double in_window = Seconds(Clock::now() - t0);
  std::printf("map: preset 2, %d angles x %d values of dist2, %s\n", angles, ys, integrator.c_str());
  std::printf("engine alone:       %.2f s\n", alone);
  std::printf("in the window:      %.2f s (%.3f of the engine's time)\n", in_window, in_window / alone);
  std::printf("window's events:    %.3f s, %.2f %% of the map's time\n", Seconds(busy),
              100 * Seconds(busy) / in_window);
  std::printf("keeping the map:    %.3f s (CSV, record, PNG, SVG to the data folder)\n",
              Seconds(keeping));
  std::printf("longest wait of a cell before it was drawn: %.3f s\n", window.Run()->LongestWait());
  return 0;
}
