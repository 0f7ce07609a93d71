// The windows under a real window manager (run by tests/under-window-manager
// on a virtual display with Openbox): the window manager places and frames
// the Control Display some time after it is shown, yet the Trajectory Display
// opens under it, and the first test of the first series is drawn exactly
// where a repeated test is.
#include <QtTest>
#include <cstdlib>

#include "window_program.h"

namespace {

using lab::Button;
using window_test::Program;
using window_test::RunUntilEnd;
using window_test::When;

}  // namespace

class TestWindowManager : public QObject {
  Q_OBJECT

 private slots:
  void trajectoryDisplayUnderTheFramedControlDisplay();
};

void TestWindowManager::trajectoryDisplayUnderTheFramedControlDisplay() {
  QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
  Program p;
  // Framed (at the latest now): a window manager runs.
  QTRY_VERIFY2(p.form1.frameGeometry().height() > p.form1.height(),
               "no window manager framed the Control Display");
  const QRect control = p.form1.frameGeometry();

  p.form1.Text1(12)->setText(QStringLiteral("0"));  // one test of preset 0, at 0 degrees
  QImage first, repeated;
  QRect trajectory_frame;
  lab::TrajectorySize size;
  QTimer::singleShot(0, [&] { p.Click(Button::CommandStart); });
  When([&] { return p.s.runstate == 1; }, [&] {  // the first series has ended
    first = p.form2.Picture();
    trajectory_frame = p.form2.frameGeometry();
    size = p.port.GetTrajectorySize();
    p.Click(Button::CommandStart);
    When([&] { return p.s.runstate == 1 && p.port.Kept().Tests() == 1; }, [&] {
      repeated = p.form2.Picture();
      p.Click(Button::CommandStop);  // as "Cancel": the end
    });
  });
  QVERIFY(RunUntilEnd(p, 30000));

  // Outer top-left at the Control Display's outer left, 100 twips below its
  // outer bottom.
  const QRect now = p.form1.frameGeometry();
  QCOMPARE(now, control);
  QCOMPARE(trajectory_frame.x(), control.x());
  QVERIFY2(std::abs(trajectory_frame.y() - (control.y() + control.height() + p.Down(100))) <= 1,
           qPrintable(QStringLiteral("Trajectory Display at y %1, Control Display %2 + %3")
                          .arg(trajectory_frame.y())
                          .arg(control.y())
                          .arg(control.height())));
  // The views of the first test were laid out for the framed window.
  QCOMPARE(size.width, static_cast<float>(trajectory_frame.width() * p.form2.Scale().x));
  QCOMPARE(size.height, static_cast<float>(trajectory_frame.height() * p.form2.Scale().y));
  QVERIFY(trajectory_frame.height() > p.form2.height());
  QVERIFY(first != QImage() && first.size() == p.form2.size());
  QCOMPARE(first, repeated);
}

QTEST_MAIN(TestWindowManager)
#include "test_window_manager.moc"
