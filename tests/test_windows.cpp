// The three windows as a user meets them: their layout after start-up, the
// field "test", the unit options, the result fields and the drawing area,
// and whole series driven by real clicks, where the handlers run inside the
// run loop's yields and the end of the program has to reach the top.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "state/sim_state.h"
#include "ui/control_flow.h"
#include "ui/handlers.h"
#include "ui/qt/control_display.h"
#include "ui/qt/data_display.h"
#include "ui/qt/qt_port.h"
#include "ui/qt/trajectory_display.h"

namespace {

using lab::Button;

// The Qt port that also counts what the run loop does.
class CountingPort : public lab::QtPort {
 public:
  using lab::QtPort::QtPort;
  int shows = 0;     // ShowResultWindows
  int finished = 0;  // tests ended
  void ShowResultWindows() override {
    ++shows;
    lab::QtPort::ShowResultWindows();
  }
  void TestFinished(const lab::TestSummary&) override { ++finished; }
};

// The program after start-up: the Control Display shown, Form_Load done.
struct Program {
  lab::SimState s;
  lab::Form1 form1;
  lab::Form2 form2;
  lab::Form3 form3;
  CountingPort port{s, form1, form2, form3};

  // As main starts the program.
  Program() {
    form1.show();
    port.RunHandler([this] { lab::Form_Load(s, port); });
  }
  QPushButton* Command(Button b) const { return form1.Command(b); }
  void Click(Button b) const { QTest::mouseClick(Command(b), Qt::LeftButton); }
  QString Field(int i) const { return form1.Text1(i)->text(); }
  QString Result(int i) const { return form3.Text1(i)->text(); }
  QRect TwipsRect(double l, double t, double w, double h) const {
    return lab::RectFromTwips(l, t, w, h, form1.Scale());
  }
  int Down(double twips) const { return lab::PixelsDown(twips, form1.Scale()); }
};

// Runs the application's event loop as main does, with the given actions on
// timers, until the program ends or the time is up. False on time-out.
bool RunUntilEnd(Program& p, int timeout_ms) {
  QTimer timeout;
  timeout.setSingleShot(true);
  bool timed_out = false;
  QObject::connect(&timeout, &QTimer::timeout, [&] {
    timed_out = true;
    p.form1.close();  // ends a running series too
    QCoreApplication::exit(1);
  });
  timeout.start(timeout_ms);
  if (!p.port.Ended()) QCoreApplication::exec();
  return !timed_out && p.port.Ended();
}

// Polls every 5 ms until the condition holds, then acts once.
void When(std::function<bool()> condition, std::function<void()> action) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, condition, action] {
    if (!condition()) return;
    timer->stop();
    timer->deleteLater();
    action();
  });
  timer->start(5);
}

// Some pixel is mostly red: text is drawn smoothed, so few pixels carry the
// pure colour.
bool HasReddish(const QImage& image) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      if (qRed(c) > 160 && qGreen(c) < 90 && qBlue(c) < 90) return true;
    }
  return false;
}

bool HasColour(const QImage& image, QRgb colour) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xffffff) == (colour & 0xffffff)) return true;
  return false;
}

}  // namespace

class TestWindows : public QObject {
  Q_OBJECT

 private slots:
  void windowsAreLaidOutInTwips();
  void startUpShowsPresetZeroInCompactRows();
  void typingATestNumberLoadsItsPreset();
  void unitOptionsCanBothBeCleared();
  void resultFieldsKeepTheirTextColour();
  void drawingAreaKeepsPointsInsideItsClientArea();
  void trajectorySizeFollowsAResize();
  void messagesDoNotBlockAndAreKept();
  void clicksRunInsideYieldsWithinTensOfMilliseconds();
  void stopBeforeStartOrClosingTheControlDisplayEnds();
  void startStopCancelThroughClicks();
  void finishedSeriesDrawsAndFillsEveryRow();
  void startDuringSeriesReplacesItAndTheEndWins();
};

void TestWindows::windowsAreLaidOutInTwips() {
  Program p;
  QCOMPARE(p.form1.windowTitle(), QStringLiteral("Control Display"));
  QCOMPARE(p.form2.windowTitle(), QStringLiteral("Trajectory Display"));
  QCOMPARE(p.form3.windowTitle(), QStringLiteral("Data Display"));
  QCOMPARE(p.form1.size(), p.TwipsRect(0, 0, 5430, 1995).size());
  QCOMPARE(p.form2.size(), p.TwipsRect(0, 0, 4680, 4290).size());
  QCOMPARE(p.form3.size(), p.TwipsRect(0, 0, 7020, 1950).size());
  QVERIFY(!p.form2.isVisible());
  QVERIFY(!p.form3.isVisible());

  // Rows at 2040 and 2520 lie below the first client height.
  QCOMPARE(p.form1.Text1(14)->geometry(), p.TwipsRect(840, 2520, 855, 375));
  for (int i = 10; i <= 14; ++i) QVERIFY(p.form1.Text1(i)->y() >= p.form1.height());
  QCOMPARE(p.Command(Button::CommandStart)->geometry(), p.TwipsRect(120, 1080, 855, 375));

  // Field 11 is a "Vesc" field, 975 wide; field 17 is row 2, column 3.
  QCOMPARE(p.form3.Text1(11)->geometry(), p.TwipsRect(3960, 840, 975, 375));
  QCOMPARE(p.form3.Text1(17)->geometry(), p.TwipsRect(3000, 1320, 855, 375));
  QCOMPARE(p.form3.Label1(4)->text(), QStringLiteral("Vesc"));
  for (int i = 0; i < lab::kResultFields; ++i) QCOMPARE(p.Result(i), QStringLiteral("Text1"));

  // Keyboard order: the buttons, fields 0 to 14, "AU", "km"; and on the
  // Data Display from field 20 down to 0.
  std::vector<QWidget*> expected;
  for (Button b : {Button::CommandStart, Button::CommandStop, Button::CommandNext,
                   Button::CommandClear})
    expected.push_back(p.Command(b));
  for (int i = 0; i < lab::kControlFields; ++i) expected.push_back(p.form1.Text1(i));
  expected.push_back(p.form1.Option1(0));
  expected.push_back(p.form1.Option1(1));
  QWidget* w = expected.front();
  for (std::size_t k = 1; k < expected.size(); ++k) {
    do w = w->nextInFocusChain();
    while (!(w->focusPolicy() & Qt::TabFocus));
    QCOMPARE(w, expected[k]);
  }
  QCOMPARE(p.form1.focusWidget(), p.Command(Button::CommandStart));
  w = p.form3.Text1(20);
  for (int i = 19; i >= 0; --i) {
    do w = w->nextInFocusChain();
    while (!(w->focusPolicy() & Qt::TabFocus));
    QCOMPARE(w, p.form3.Text1(i));
  }
}

void TestWindows::startUpShowsPresetZeroInCompactRows() {
  Program p;
  QCOMPARE(p.Field(3), QStringLiteral(" 10000"));
  QCOMPARE(p.Field(2), QStringLiteral("0.001"));
  QCOMPARE(p.Field(10), QStringLiteral("0"));
  QCOMPARE(p.Field(12), QStringLiteral("180"));
  QCOMPARE(p.Field(5), QString());
  QVERIFY(!p.form1.Option1(0)->isChecked());
  QVERIFY(!p.port.GetUnitOption());
  QCOMPARE(p.Command(Button::CommandStop)->text(), QStringLiteral("Stop"));
  QCOMPARE(p.s.runstate, -1);

  for (int i = 0; i <= 10; ++i) QCOMPARE(p.form1.Text1(i)->height(), p.Down(200));
  for (int i = 11; i <= 14; ++i) QCOMPARE(p.form1.Text1(i)->height(), p.Down(375));
  for (int i = 0; i <= 11; ++i) QCOMPARE(p.form1.Label1(i)->height(), p.Down(200));
  for (int i = 12; i <= 14; ++i) QCOMPARE(p.form1.Label1(i)->height(), p.Down(255));
  QCOMPARE(p.form1.Text1(0)->y(), p.Down(120));  // positions stay

  // The Trajectory Display sits 100 twips under the Control Display.
  const QRect control = p.form1.frameGeometry();
  QCOMPARE(p.form2.pos().x(), control.x());
  QVERIFY(std::abs(p.form2.pos().y() - (control.y() + control.height() + p.Down(100))) <= 1);
}

void TestWindows::typingATestNumberLoadsItsPreset() {
  Program p;
  QTest::keyClicks(p.form1.Text1(10), QStringLiteral("2"));
  QCOMPARE(p.Field(10), QStringLiteral("02"));
  QCOMPARE(p.s.testno, 2.0);
  QCOMPARE(p.Field(3), QStringLiteral(" 1"));
  QVERIFY(p.form1.Option1(0)->isChecked());
  QVERIFY(!p.form1.Option1(1)->isChecked());
  QCOMPARE(p.s.dist1, 149600000.0);  // read back at once, in km

  // Typing in another field changes nothing until the next set-up.
  QTest::keyClicks(p.form1.Text1(3), QStringLiteral("0"));
  QCOMPARE(p.Field(3), QStringLiteral(" 10"));
  QCOMPARE(p.s.dist1, 149600000.0);
  QVERIFY(!p.port.Ended());
}

void TestWindows::unitOptionsCanBothBeCleared() {
  Program p;
  p.port.SetUnitOption(false);  // "km" stays
  QVERIFY(p.form1.Option1(1)->isChecked());
  p.port.SetUnitOption(true);
  QVERIFY(p.port.GetUnitOption());
  QVERIFY(!p.form1.Option1(1)->isChecked());
  p.port.SetUnitOption(false);
  QVERIFY(!p.form1.Option1(0)->isChecked());
  QVERIFY(!p.form1.Option1(1)->isChecked());
  QVERIFY(!p.port.GetUnitOption());
  // The group is exclusive again for the user.
  QTest::mouseClick(p.form1.Option1(1), Qt::LeftButton, {},
                    QPoint(4, p.form1.Option1(1)->height() / 2));
  QTest::mouseClick(p.form1.Option1(0), Qt::LeftButton,
                    {}, QPoint(4, p.form1.Option1(0)->height() / 2));
  QVERIFY(p.form1.Option1(0)->isChecked());
  QVERIFY(!p.form1.Option1(1)->isChecked());
}

void TestWindows::resultFieldsKeepTheirTextColour() {
  Program p;
  QLineEdit* v3 = p.form3.Text1(3);
  p.port.SetResultColour(3, lab::kNearBlack);
  QCOMPARE(v3->palette().color(QPalette::Text), QColor(2, 0, 0));
  p.port.SetResultText(3, "");
  QCOMPARE(v3->text(), QString());
  QCOMPARE(v3->palette().color(QPalette::Text), QColor(2, 0, 0));

  // The colour reaches the screen: the text is drawn in light red.
  p.form3.show();
  p.port.SetResultColour(10, lab::kPalette[12]);
  p.port.SetResultText(10, "8888.888");
  p.port.SetResultText(3, "8888.888");
  const QImage shown = p.form3.Text1(10)->grab().toImage();
  QVERIFY(HasReddish(shown));
  QVERIFY(!HasReddish(p.form3.Text1(3)->grab().toImage()));

  p.port.SetResultHeading(4, "Vesc #3");
  QCOMPARE(p.form3.Label1(4)->text(), QStringLiteral("Vesc #3"));
  // Every heading fits its label in full.
  for (int c = 0; c < lab::kResultColumns; ++c) {
    QLabel* label = p.form3.Label1(c);
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
  }
  for (int i = 0; i < lab::kControlFields; ++i) {
    QLabel* label = p.form1.Label1(i);
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
    QVERIFY(label->fontMetrics().height() <= label->height());
  }
}

void TestWindows::drawingAreaKeepsPointsInsideItsClientArea() {
  Program p;
  lab::QtPort& port = p.port;
  const lab::TwipScale scale = p.form2.Scale();
  const QImage& image = p.form2.Image();
  const QRgb face = p.form2.palette().window().color().rgb();

  port.ClearTrajectory();  // hidden and empty: nothing to see
  QCOMPARE(image.pixel(0, 0), face);
  port.PlotPoint(static_cast<float>(10 * scale.x + 0.5), static_cast<float>(20 * scale.y),
                 lab::kPalette[13]);
  QCOMPARE(image.pixel(10, 20), qRgb(255, 0, 255));
  port.PlotPoint(0, 0, lab::kNearBlack);
  QCOMPARE(image.pixel(0, 0), qRgb(2, 0, 0));

  // Outside the drawing area nothing is drawn and nothing is reported.
  const QImage before = image.copy();
  const float w = static_cast<float>(p.form2.width() * scale.x);
  const float h = static_cast<float>(p.form2.height() * scale.y);
  for (auto [x, y] : std::vector<std::pair<float, float>>{
           {-1, 5}, {5, -0.5f}, {w, 5}, {5, h}, {1e30f, 1e30f}, {-1e30f, 5},
           {std::numeric_limits<float>::quiet_NaN(), 5}, {5, std::numeric_limits<float>::infinity()}})
    port.PlotPoint(x, y, lab::kPalette[12]);
  QCOMPARE(image, before);

  // The points survive being hidden and shown; Clear erases them.
  p.form2.show();
  p.form2.hide();
  p.form2.show();
  QCOMPARE(p.form2.grab().toImage().pixel(10, 20) & 0xffffff, qRgb(255, 0, 255) & 0xffffff);
  port.ClearTrajectory();
  QCOMPARE(image.pixel(10, 20), face);
}

void TestWindows::trajectorySizeFollowsAResize() {
  Program p;
  p.port.ShowResultWindows();
  QVERIFY(QTest::qWaitForWindowExposed(&p.form2));
  const lab::TwipScale scale = p.form2.Scale();
  p.form2.resize(400, 300);
  QTRY_COMPARE(p.form2.size(), QSize(400, 300));
  const lab::TrajectorySize size = p.port.GetTrajectorySize();
  const QRect outer = p.form2.frameGeometry();
  QCOMPARE(size.width, static_cast<float>(outer.width() * scale.x));
  QCOMPARE(size.height, static_cast<float>(outer.height() * scale.y));
  QVERIFY(size.width >= 400 * scale.x && size.height >= 300 * scale.y);

  // The larger area can be drawn on at once.
  p.port.PlotPoint(static_cast<float>(390 * scale.x), static_cast<float>(290 * scale.y), 0);
  QCOMPARE(p.form2.Image().pixel(390, 290), qRgb(0, 0, 0));
}

void TestWindows::messagesDoNotBlockAndAreKept() {
  Program p;
  QVERIFY(p.port.MessageBox() == nullptr);
  p.port.ShowMessage("first");
  p.port.ShowMessage("\"dist 2\": body 2 would start on body 0.");
  QCOMPARE(p.port.LastMessage(), std::string("\"dist 2\": body 2 would start on body 0."));
  QMessageBox* box = p.port.MessageBox();
  QVERIFY(box != nullptr);
  QVERIFY(box->isVisible());
  QVERIFY(!box->isModal());
  QCOMPARE(box->text(), QStringLiteral("\"dist 2\": body 2 would start on body 0."));
}

void TestWindows::clicksRunInsideYieldsWithinTensOfMilliseconds() {
  Program p;
  p.s.runstate = 0;  // as in a running series
  QTimer::singleShot(0, [&] { p.Click(Button::CommandStop); });
  QElapsedTimer clock;
  clock.start();
  while (p.s.runstate == 0 && clock.elapsed() < 1000) p.port.YieldEvents();
  QCOMPARE(p.s.runstate, 1);
  QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));
  QCOMPARE(p.Command(Button::CommandStop)->text(), QStringLiteral("Cancel"));

  // What a handler throws inside the events is thrown again to the logic.
  QTimer::singleShot(0, [&] { p.form1.close(); });
  bool ended = false;
  try {
    for (;;) p.port.WaitEvents();
  } catch (const lab::ProgramEnded&) {
    ended = true;
  }
  QVERIFY(ended);
  QVERIFY(!p.port.Ended());  // the top has not seen it yet
}

void TestWindows::stopBeforeStartOrClosingTheControlDisplayEnds() {
  {
    Program p;
    p.Click(Button::CommandStop);
    QVERIFY(p.port.Ended());
    QCOMPARE(p.port.ExitCode(), 0);
    QVERIFY(!p.form1.isVisible());
  }
  {
    Program p;
    p.port.ShowResultWindows();
    p.form2.close();  // only hides it
    QVERIFY(!p.port.Ended());
    p.port.ShowResultWindows();
    QVERIFY(p.form2.isVisible());
    p.form1.close();
    QVERIFY(p.port.Ended());
    QVERIFY(!p.form1.isVisible());
    QVERIFY(!p.form2.isVisible());
    QVERIFY(!p.form3.isVisible());
  }
}

void TestWindows::startStopCancelThroughClicks() {
  Program p;
  QTest::keyClicks(p.form1.Text1(10), QStringLiteral("2"));  // 19 tests, longer than this test
  QString caption_after_stop;
  int runstate_after_stop = 0;
  QString row1_alpha;
  QTimer::singleShot(0, [&] { p.Click(Button::CommandStart); });
  When([&] { return p.s.tcnt > 1000; }, [&] {
    p.Click(Button::CommandStop);
    // Looked at once the series has halted: a second Stop within the same
    // round of events would only be a cancel the running series ignores.
    When([] { return true; }, [&] {
      caption_after_stop = p.Command(Button::CommandStop)->text();
      runstate_after_stop = p.s.runstate;
      row1_alpha = p.Result(7);
      p.Click(Button::CommandStop);  // "Cancel"
    });
  });
  QVERIFY(RunUntilEnd(p, 10000));
  QCOMPARE(caption_after_stop, QStringLiteral("Cancel"));
  QCOMPARE(runstate_after_stop, 1);
  QCOMPARE(p.port.ExitCode(), 0);
  QCOMPARE(p.port.finished, 0);  // the stopped test got no results
  QCOMPARE(row1_alpha, QString());
  QVERIFY(!p.form1.isVisible());
  QVERIFY(!p.form2.isVisible());
}

void TestWindows::finishedSeriesDrawsAndFillsEveryRow() {
  Program p;
  p.form1.Text1(12)->setText(QStringLiteral("10"));  // two tests of preset 0
  bool halted_with_stop = false;
  QImage drawn;
  std::vector<QString> rows;
  QTimer::singleShot(0, [&] { p.Click(Button::CommandStart); });
  When([&] { return p.port.finished == 2 && p.s.runstate == 1; }, [&] {
    halted_with_stop = p.Command(Button::CommandStop)->text() == QStringLiteral("Stop");
    drawn = p.form2.grab().toImage();
    for (int i = 0; i < lab::kResultFields; ++i) rows.push_back(p.Result(i));
    p.Click(Button::CommandStop);  // runstate 1 -> 2: the wait ends the program
  });
  QVERIFY(RunUntilEnd(p, 10000));
  QVERIFY(halted_with_stop);
  QVERIFY(p.form2.isVisible() == false);  // closed at the end

  // Body 0 magenta, body 1 light green, body 2 black, on the screen.
  QVERIFY(HasColour(drawn, qRgb(255, 0, 255)));
  QVERIFY(HasColour(drawn, qRgb(0, 255, 0)));
  QVERIFY(HasColour(drawn, qRgb(0, 0, 0)));
  QCOMPARE(static_cast<int>(rows.size()), lab::kResultFields);
  QCOMPARE(rows[7], QStringLiteral("10"));  // row 1: the last test
  for (int i = 0; i < lab::kResultFields; ++i)
    QVERIFY2(!rows[i].isEmpty() && rows[i] != QStringLiteral("Text1"), qPrintable(QString::number(i)));
}

void TestWindows::startDuringSeriesReplacesItAndTheEndWins() {
  Program p;
  QTest::keyClicks(p.form1.Text1(10), QStringLiteral("2"));
  bool shown_again = false;
  int shows_before_end = 0;
  QTimer::singleShot(0, [&] { p.Click(Button::CommandStart); });
  When([&] { return p.s.tcnt > 1000; }, [&] {
    p.form2.close();  // hidden by the user; the new series shows it again
    p.form3.close();
    p.Click(Button::CommandStart);
    When([&] { return p.port.shows == 2 && p.s.tcnt > 1000; }, [&] {
      shown_again = p.form2.isVisible() && p.form3.isVisible();
      shows_before_end = p.port.shows;
      // Both in one round of events: the end of the program wins and the
      // Start after it never runs.
      p.form1.close();
      p.Click(Button::CommandStart);
    });
  });
  QVERIFY(RunUntilEnd(p, 10000));
  QVERIFY(shown_again);
  QCOMPARE(shows_before_end, 2);
  QCOMPARE(p.port.shows, 2);
  QCOMPARE(p.port.ExitCode(), 0);
}

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
