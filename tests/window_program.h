// The desktop program as the window tests drive it: the three windows and
// the port after start-up, the application's event loop with actions on
// timers, and real clicks; the files and the batch runner's output the
// windows' results are compared with.
#pragma once

#include <QFile>
#include <QProcess>
#include <QStyleHints>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "state/sim_state.h"
#include "ui/qt/control_display.h"
#include "ui/qt/data_display.h"
#include "ui/qt/qt_port.h"
#include "ui/qt/trajectory_display.h"

namespace window_test {

using lab::Button;

// The program after start-up: the Control Display shown, Form_Load done.
template <class Port>
struct ProgramOn {
  lab::SimState s;
  lab::Form1 form1;
  lab::Form2 form2;
  lab::Form3 form3;
  Port port{s, form1, form2, form3};

  // As main starts the program; main also remembers the layout.
  explicit ProgramOn(bool remember_layout = false) {
    if (remember_layout) port.RememberLayout();
    port.StartUp();
  }
  QPushButton* Command(Button b) const { return form1.Command(b); }
  void Click(Button b) const { QTest::mouseClick(Command(b), Qt::LeftButton); }
  QString Field(int i) const { return form1.Text1(i)->text(); }
  QString Result(int i) const { return form3.Text1(i)->text(); }
  // Replaces a field's text key by key, as a user who selects it and types.
  void Type(int i, const QString& text) const {
    form1.Text1(i)->selectAll();
    QTest::keyClicks(form1.Text1(i), text);
  }
  QRect TwipsRect(double l, double t, double w, double h) const {
    return lab::RectFromTwips(l, t, w, h, form1.Scale());
  }
  int Down(double twips) const { return lab::PixelsDown(twips, form1.Scale()); }
};
using Program = ProgramOn<lab::QtPort>;

// Runs the test object's slots as QTEST_MAIN does, at 96 dots per inch,
// with a layout kept in a settings folder of this run, never in the user's.
template <class Test>
int RunTests(int argc, char* argv[]) {
  QTemporaryDir settings;
  qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
  QApplication app(argc, argv);
  app.setAttribute(Qt::AA_Use96Dpi, true);
  // A steady text cursor: a blinking one would be in some pictures only.
  QGuiApplication::styleHints()->setCursorFlashTime(0);
  Test test;
  return QTest::qExec(&test, argc, argv);
}

// Kept results go to a folder of the test, never to the user's.
struct KeptInTemporaryFolder {
  QTemporaryDir dir;
  KeptInTemporaryFolder() { qputenv("XDG_DATA_HOME", dir.path().toUtf8()); }
};

// A file's bytes, or "(missing)".
inline QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

#ifdef LAB_BATCH_PROGRAM
// What encounter-batch ARGS --quiet prints, or "(failed)".
inline QByteArray Batch(const QStringList& args) {
  QProcess batch;
  batch.start(QStringLiteral(LAB_BATCH_PROGRAM), args + QStringList{QStringLiteral("--quiet")});
  if (!batch.waitForFinished(120000) || batch.exitCode() != 0) return "(failed)";
  return batch.readAllStandardOutput();
}
#endif

// Runs the application's event loop as main does, with the given actions on
// timers, until the program ends or the time is up. False on time-out.
inline bool RunUntilEnd(Program& p, int timeout_ms) {
  QTimer timeout;
  timeout.setSingleShot(true);
  timeout.callOnTimeout([&p] {
    p.form1.close();  // ends a running series too
    QCoreApplication::exit(1);
  });
  timeout.start(timeout_ms);
  if (!p.port.Ended()) QCoreApplication::exec();
  return timeout.isActive() && p.port.Ended();  // still pending: no time-out
}

// Polls every 5 ms until the condition holds, then acts once.
inline void When(std::function<bool()> condition, std::function<void()> action) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, condition, action] {
    if (!condition()) return;
    timer->stop();
    timer->deleteLater();
    action();
  });
  timer->start(5);
}

}  // namespace window_test
