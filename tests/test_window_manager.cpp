// The windows under a real window manager (run by tests/under-window-manager
// on a virtual display with Openbox): the window manager places and frames
// the Control Display some time after it is shown, yet the Trajectory Display
// opens under it, and the first test of the first series is drawn exactly
// where a repeated test is. The Outcome Map window, opened from the Control
// Display's context menu, runs a small map and replays one of its cells in
// the Trajectory Display; both are compared with the pictures kept in
// tests/data/windows (scripts/window-pictures draws them anew).
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdlib>

#include "ui/qt/map_window.h"
#include "window_pictures.h"
#include "window_program.h"

namespace {

using lab::Button;
using window_test::Program;
using window_test::RunUntilEnd;
using window_test::When;
using window_test::CompareWithPicture;

}  // namespace

class TestWindowManager : public QObject {
  Q_OBJECT

 private slots:
  void trajectoryDisplayUnderTheFramedControlDisplay();
  void mapWindowRunsAMapAndReplaysACell();
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

void TestWindowManager::mapWindowRunsAMapAndReplaysACell() {
  QTemporaryDir data_home;  // what the windows keep goes here
  qputenv("XDG_DATA_HOME", data_home.path().toUtf8());
  Program p;
  lab::Form4 map(p.form1, p.port);
  QObject::connect(p.form1.OutcomeMapAction(), &QAction::triggered, &map, &lab::Form4::Open);
  p.form1.OutcomeMapAction()->trigger();
  QTRY_VERIFY(map.isVisible() && map.frameGeometry().height() > map.height());
  p.Type(10, QStringLiteral("2"));
  p.form1.Text1(11)->setText(QStringLiteral("5"));
  p.form1.Text1(12)->setText(QStringLiteral("30"));
  p.form1.Text1(14)->setText(QStringLiteral("12.5"));
  map.From()->setText(QStringLiteral("1.5"));
  map.To()->setText(QStringLiteral("3"));
  map.Count()->setText(QStringLiteral("3"));
  QTest::mouseClick(map.RunButton(), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(map.RunButton()->isEnabled(), 120000);
  QCOMPARE(map.Cells().taken, 9);
  CompareWithPicture(map.Canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32),
                     QStringLiteral("map"));

  // The middle cell replayed: its one test drawn in the Trajectory Display.
  QTest::mouseClick(map.Canvas(), Qt::LeftButton, {}, map.Canvas()->CentreOf(4));
  QImage replayed;
  When([&] { return p.s.runstate == 1; }, [&] {
    replayed = p.form2.Picture().convertToFormat(QImage::Format_RGB32);
    p.Click(Button::CommandStop);
  });
  QVERIFY(RunUntilEnd(p, 60000));
  QCOMPARE(p.Field(11), QStringLiteral("17.5"));
  QCOMPARE(p.port.Kept().Tests(), 1);
  CompareWithPicture(replayed, QStringLiteral("map-replayed"));
}

QTEST_MAIN(TestWindowManager)
#include "test_window_manager.moc"
