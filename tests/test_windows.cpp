// The three windows as a user meets them: their layout after start-up, the
// field "test", the unit options, the result fields and the drawing area,
// and whole series driven by real clicks, where the handlers run inside the
// run loop's yields and the end of the program has to reach the top.
#include <QElapsedTimer>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "app/batch/batch_run.h"
#include "state/sim_state.h"
#include "port/control_flow.h"
#include "control/handlers.h"
#include "ui/qt/control_display.h"
#include "ui/qt/data_display.h"
#include "ui/qt/qt_port.h"
#include "ui/qt/start_checks.h"
#include "ui/qt/trajectory_display.h"
#include "ui/qt/window_font.h"
#include "ui/qt/window_layout.h"
#include "window_program.h"

namespace {

using lab::Button;
using window_test::Program;
using window_test::RunUntilEnd;
using window_test::When;

// Some pixel of the image passes the test; text is drawn smoothed, so few
// pixels carry the pure colour.
bool AnyPixel(const QImage& image, const std::function<bool(QRgb)>& test) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (test(image.pixel(x, y))) return true;
  return false;
}

// The label shows its text in full.
bool Fits(const QLabel* label) {
  const QFontMetrics metrics = label->fontMetrics();
  return metrics.horizontalAdvance(label->text()) <= label->width() &&
         metrics.height() <= label->height();
}

// The next widget the Tab key reaches.
QWidget* NextTab(QWidget* w) {
  do w = w->nextInFocusChain();
  while (!(w->focusPolicy() & Qt::TabFocus));
  return w;
}

}  // namespace

class TestWindows : public QObject {
  Q_OBJECT

 private slots:
  void startUpLayoutInTwipsAndPresetZero();
  void typingATestNumberLoadsItsPresetAndUnits();
  void resultFieldsKeepTheirTextColour();
  void longTextsShowTheirBeginningAndAllOfItAsToolTip();
  void trajectoryDisplayDrawsInsideItsClientAreaAndOnlyHides();
  void messagesDoNotBlockAndClicksRunInsideYields();
  void fatalErrorIsShownInABox();
  void startAgainThenStopThroughClicksAndTheEndWins();
  void finishedSeriesDrawsAndFillsEveryRow();
  void testFieldSaysWhenItNamesNoScenario();
  void startRefusedOrWarnedInTheBatchRunnersWords();
  void startReadsADecimalCommaAsEachFieldDoes();
  void dataDisplaySaysWhatRowsAndColumnsHold();
  void layoutKeptForTheNextStartUntilReset();
};

// The windows after start-up (their sizes and what shows of them are pinned
// by test_window_pictures); Stop before any Start ends the program.
void TestWindows::startUpLayoutInTwipsAndPresetZero() {
  Program p;
  QCOMPARE(p.form1.windowTitle(), QStringLiteral("Control Display"));
  QCOMPARE(p.form2.windowTitle(), QStringLiteral("Trajectory Display"));
  QCOMPARE(p.form3.windowTitle(), QStringLiteral("Data Display"));
  for (QWidget* w : std::initializer_list<QWidget*>{&p.form1, &p.form2, &p.form3})
    QVERIFY(!w->windowIcon().pixmap(32, 32).isNull());  // the compiled-in SVG, drawn
  QVERIFY(!p.form2.isVisible() && !p.form3.isVisible());

  // The row at 2520 lies below the first client height; the rows are compact
  // in height, at their places, and their labels fit.
  QCOMPARE(p.form1.Text1(14)->geometry(), p.TwipsRect(840, 2520, 855, 375));
  for (int i = 0; i < lab::kControlFields; ++i) {
    QCOMPARE(p.form1.Text1(i)->height(), p.Down(i <= 10 ? 200 : 375));
    QCOMPARE(p.form1.Label1(i)->height(), p.Down(i <= 11 ? 200 : 255));
    QVERIFY(Fits(p.form1.Label1(i)));
  }
  // The Trajectory Display sits 100 twips under the Control Display.
  const QRect control = p.form1.frameGeometry();
  QCOMPARE(p.form2.pos().x(), control.x());
  QVERIFY(std::abs(p.form2.pos().y() - (control.y() + control.height() + p.Down(100))) <= 1);

  for (int i = 0; i < lab::kResultFields; ++i) QCOMPARE(p.Result(i), QStringLiteral("Text1"));

  // Preset 0, with "AU" cleared and "km" as it was.
  QCOMPARE(p.Field(3), QStringLiteral(" 10000"));
  QCOMPARE(p.Field(12), QStringLiteral("180"));
  QCOMPARE(p.Field(5), QString());
  QVERIFY(!p.form1.Option1(0)->isChecked() && p.form1.Option1(1)->isChecked());

  // Keyboard order: the buttons, fields 0 to 14, "AU", "km"; and on the
  // Data Display from field 20 down to 0.
  std::vector<QWidget*> order{p.Command(Button::CommandStart), p.Command(Button::CommandStop),
                              p.Command(Button::CommandNext), p.Command(Button::CommandClear)};
  for (int i = 0; i < lab::kControlFields; ++i) order.push_back(p.form1.Text1(i));
  order.insert(order.end(), {p.form1.Option1(0), p.form1.Option1(1)});
  for (std::size_t k = 1; k < order.size(); ++k) QCOMPARE(NextTab(order[k - 1]), order[k]);
  QCOMPARE(p.form1.focusWidget(), p.Command(Button::CommandStart));
  for (int i = 19; i >= 0; --i) QCOMPARE(NextTab(p.form3.Text1(i + 1)), p.form3.Text1(i));

  p.Click(Button::CommandStop);  // before any Start: the end
  QVERIFY(p.port.Ended() && !p.form1.isVisible());
  QCOMPARE(p.port.ExitCode(), 0);
}

void TestWindows::typingATestNumberLoadsItsPresetAndUnits() {
  Program p;
  QTest::keyClicks(p.form1.Text1(10), QStringLiteral("2"));
  QCOMPARE(p.Field(10), QStringLiteral("02"));
  QCOMPARE(p.Field(3), QStringLiteral(" 1"));
  QVERIFY(p.form1.Option1(0)->isChecked() && !p.form1.Option1(1)->isChecked());
  QCOMPARE(p.s.dist1, 149600000.0);  // read back at once, in km

  // Typing in another field changes nothing until the next set-up.
  QTest::keyClicks(p.form1.Text1(3), QStringLiteral("0"));
  QCOMPARE(p.Field(3), QStringLiteral(" 10"));
  QCOMPARE(p.s.dist1, 149600000.0);

  // Both unit options can be cleared; the group is exclusive again for the user.
  p.port.SetUnitOption(false);
  QVERIFY(!p.form1.Option1(0)->isChecked() && !p.form1.Option1(1)->isChecked());
  for (int k : {1, 0})
    QTest::mouseClick(p.form1.Option1(k), Qt::LeftButton, {},
                      QPoint(4, p.form1.Option1(k)->height() / 2));
  QVERIFY(p.form1.Option1(0)->isChecked() && !p.form1.Option1(1)->isChecked());
}

void TestWindows::resultFieldsKeepTheirTextColour() {
  Program p;
  p.port.SetResultColour(3, lab::kNearBlack);
  p.port.SetResultText(3, "");
  QCOMPARE(p.form3.Text1(3)->palette().color(QPalette::Text), QColor(2, 0, 0));

  // The colour reaches the screen: the text is drawn in light red.
  p.form3.show();
  p.port.SetResultColour(10, lab::kPalette[12]);
  p.port.SetResultText(10, "8888.888");
  p.port.SetResultText(3, "8888.888");
  const auto reddish = [](QRgb c) { return qRed(c) > 160 && qGreen(c) < 90 && qBlue(c) < 90; };
  QVERIFY(AnyPixel(p.form3.Text1(10)->grab().toImage(), reddish));
  QVERIFY(!AnyPixel(p.form3.Text1(3)->grab().toImage(), reddish));

  p.port.SetResultHeading(4, "Vesc #3");
  for (int c = 0; c < lab::kResultColumns; ++c) QVERIFY(Fits(p.form3.Label1(c)));
}

// A number wider than its field shows its leading digits, and the whole
// number as the tool tip; a short text keeps the cursor after it for typing.
void TestWindows::longTextsShowTheirBeginningAndAllOfItAsToolTip() {
  Program p;
  p.port.SetFieldText(3, "1234567.1234567");
  p.port.SetResultText(11, "6033221.5656033221");
  p.port.SetResultText(5, "60332210001.565");
  for (lab::Field* f : {p.form1.Text1(3), p.form3.Text1(11), p.form3.Text1(5)}) {
    QCOMPARE(f->cursorPosition(), 0);
    QVERIFY(f->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() <= 3);  // not scrolled
    QCOMPARE(f->toolTip().section(QLatin1Char('\n'), 0, 0), f->text());  // then the row's note
  }
  QTest::keyClicks(p.form1.Text1(0), QStringLiteral("5"));
  QCOMPARE(p.Field(0), QStringLiteral("15"));
  QCOMPARE(p.form1.Text1(0)->toolTip(), QStringLiteral("15"));
}

void TestWindows::trajectoryDisplayDrawsInsideItsClientAreaAndOnlyHides() {
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
  using Limits = std::numeric_limits<float>;
  for (auto [x, y] : std::vector<std::pair<float, float>>{{-1, 5}, {5, -0.5f}, {w, 5}, {5, h},
           {1e30f, 1e30f}, {-1e30f, 5}, {Limits::quiet_NaN(), 5}, {5, Limits::infinity()}})
    port.PlotPoint(x, y, lab::kPalette[12]);
  QCOMPARE(image, before);

  // The points survive being hidden and shown; Clear erases them.
  port.ShowResultWindows();
  QVERIFY(QTest::qWaitForWindowExposed(&p.form2));
  p.form2.hide();
  p.form2.show();
  QCOMPARE(p.form2.grab().toImage().pixel(10, 20) & 0xffffff, qRgb(255, 0, 255) & 0xffffff);
  port.ClearTrajectory();
  QCOMPARE(image.pixel(10, 20), face);

  // After a resize the size is the outer one, and the larger area is drawn on.
  p.form2.resize(400, 300);
  QTRY_COMPARE(p.form2.size(), QSize(400, 300));
  const lab::TrajectorySize size = port.GetTrajectorySize();
  const QRect outer = p.form2.frameGeometry();
  QCOMPARE(size.width, static_cast<float>(outer.width() * scale.x));
  QCOMPARE(size.height, static_cast<float>(outer.height() * scale.y));
  port.PlotPoint(static_cast<float>(390 * scale.x), static_cast<float>(290 * scale.y), 0);
  QCOMPARE(p.form2.Image().pixel(390, 290), qRgb(0, 0, 0));

  // Enlarged beyond the screen, the image stops at the largest screen's size
  // and points beyond it are not drawn; what was drawn stays.
  QSize largest;
  for (const QScreen* screen : QGuiApplication::screens())
    largest = largest.expandedTo(screen->geometry().size());
  p.form2.resize(largest.width() + 3000, largest.height() + 2000);
  QTRY_COMPARE(p.form2.width(), largest.width() + 3000);
  QCOMPARE(p.form2.Image().size(), largest);
  QCOMPARE(p.form2.Picture().size(), largest);
  port.PlotPoint(static_cast<float>((largest.width() + 100) * scale.x), 5, 0);
  port.PlotPoint(5, static_cast<float>((largest.height() + 100) * scale.y), 0);
  QCOMPARE(p.form2.Image().pixel(390, 290), qRgb(0, 0, 0));

  // Closing it only hides it; closing the Control Display ends the program.
  p.form2.close();
  QVERIFY(!p.port.Ended());
  port.ShowResultWindows();
  p.form1.close();
  QVERIFY(p.port.Ended());
  QVERIFY(!p.form1.isVisible() && !p.form2.isVisible() && !p.form3.isVisible());
}

// Messages do not block, and the user's clicks are handled inside the
// yields of the logic within tens of milliseconds.
void TestWindows::messagesDoNotBlockAndClicksRunInsideYields() {
  Program p;
  p.port.ShowMessage("\"dist 2\": body 2 would start on body 0.");
  QMessageBox* box = p.port.MessageBox();
  QVERIFY(box != nullptr && box->isVisible() && !box->isModal());
  QCOMPARE(box->text(), QStringLiteral("\"dist 2\": body 2 would start on body 0."));
  // Titled with the program's name, in the windows' font, with the buttons free.
  QCOMPARE(box->windowTitle(), QStringLiteral("Encounter"));
  QCOMPARE(box->font(), lab::WindowFont());
  for (Button b : {Button::CommandStart, Button::CommandStop, Button::CommandNext,
                   Button::CommandClear}) {
    const QRect button(p.Command(b)->mapToGlobal(QPoint(0, 0)), p.Command(b)->size());
    QVERIFY(!box->frameGeometry().intersects(button));
  }
  // What to correct, and what Stop does now and once a series runs.
  QVERIFY(box->informativeText().contains(QStringLiteral("Correct the field")));
  QVERIFY(box->informativeText().contains(QStringLiteral("Stop now ends the program")));

  p.s.runstate = 0;  // as in a running series
  QTimer::singleShot(0, [&] { p.Click(Button::CommandStop); });
  QElapsedTimer clock;
  clock.start();
  while (p.s.runstate == 0 && clock.elapsed() < 1000) p.port.YieldEvents();
  QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));
  QCOMPARE(p.Command(Button::CommandStop)->text(), QStringLiteral("Cancel"));
  QVERIFY(box->informativeText().contains(QStringLiteral("Stop halts the series")));
}

// Not only on standard error: a desktop user sees the fatal error in a box.
void TestWindows::fatalErrorIsShownInABox() {
  Program p;
  QString title, text;
  When([] { return QApplication::activeModalWidget() != nullptr; }, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    title = box->windowTitle();
    text = box->informativeText();
    box->accept();
  });
  // Thrown by a handler the application's event loop runs, as a click's.
  QTimer::singleShot(0, [&] {
    p.port.RunHandler([] { throw std::runtime_error("no memory for the drawing"); });
  });
  QVERIFY(RunUntilEnd(p, 10000));
  QVERIFY(!p.form1.isVisible());
  QCOMPARE(p.port.ExitCode(), 1);
  QCOMPARE(title, QStringLiteral("Encounter"));
  QCOMPARE(text, QStringLiteral("no memory for the drawing"));
}

// An old message goes when a series starts. Result windows the user closed
// come back when the next test begins, and with a new Start. Stop shows
// "Cancel" and the test gets no results. Closing the Control Display and
// Start in one round of events: the end of the program wins and the Start
// never runs.
void TestWindows::startAgainThenStopThroughClicksAndTheEndWins() {
  Program p;
  QTest::keyClicks(p.form1.Text1(10), QStringLiteral("2"));  // 19 tests, longer than this test
  p.port.ShowMessage("An old message.");
  bool shown_again = false, message_gone = false;
  QString caption_after_stop, row1_alpha, closed_in, shown_in;
  QTimer::singleShot(0, [&] { p.Click(Button::CommandStart); });
  When([&] { return p.s.tcnt > 1000; }, [&] {
    message_gone = !p.port.MessageBox()->isVisible();
    closed_in = p.Result(0);
    p.form2.close();
    p.form3.close();
  });
  When([&] { return !closed_in.isEmpty() && p.form2.isVisible() && p.form3.isVisible(); }, [&] {
    shown_in = p.Result(0);
    p.form2.close();
    p.form3.close();
    p.Click(Button::CommandStart);
    When([&] { return p.form2.isVisible() && p.s.tcnt > 1000; }, [&] {
      shown_again = p.form3.isVisible();
      p.Click(Button::CommandStop);
      // Looked at once the series has halted: a second Stop within the same
      // round of events would only be a cancel the running series ignores.
      When([] { return true; }, [&] {
        caption_after_stop = p.Command(Button::CommandStop)->text();
        row1_alpha = p.Result(7);
        p.form1.close();
        p.Click(Button::CommandStart);
      });
    });
  });
  QVERIFY(RunUntilEnd(p, 10000));
  QVERIFY(message_gone);
  QCOMPARE(closed_in, QStringLiteral("0"));
  QCOMPARE(shown_in, QStringLiteral("10"));  // the next test
  QVERIFY(shown_again);
  QCOMPARE(caption_after_stop, QStringLiteral("Cancel"));
  QCOMPARE(row1_alpha, QString());  // the stopped test got no results
  QCOMPARE(p.port.ExitCode(), 0);
}

void TestWindows::finishedSeriesDrawsAndFillsEveryRow() {
  Program p;
  p.form1.Text1(12)->setText(QStringLiteral("10"));  // two tests of preset 0
  bool halted_with_stop = false;
  QImage drawn;
  std::vector<QString> rows;
  QTimer::singleShot(0, [&] { p.Click(Button::CommandStart); });
  When([&] { return p.s.runstate == 1; }, [&] {  // halted at the end
    halted_with_stop = p.Command(Button::CommandStop)->text() == QStringLiteral("Stop");
    drawn = p.form2.grab().toImage();
    for (int i = 0; i < lab::kResultFields; ++i) rows.push_back(p.Result(i));
    p.Click(Button::CommandStop);  // as "Cancel": runstate 1 -> 2 ends the program
  });
  QVERIFY(RunUntilEnd(p, 10000));
  QVERIFY(halted_with_stop);
  QVERIFY(!p.form2.isVisible());  // closed at the end

  // Body 0 magenta, body 1 light green, body 2 black, on the screen.
  for (QRgb body : {qRgb(255, 0, 255), qRgb(0, 255, 0), qRgb(0, 0, 0)})
    QVERIFY(AnyPixel(drawn, [body](QRgb c) { return (c & 0xffffff) == (body & 0xffffff); }));
  QCOMPARE(rows[7], QStringLiteral("10"));  // row 1: the last test
  for (const QString& row : rows) QVERIFY(!row.isEmpty() && row != QStringLiteral("Text1"));
}

// Typed key by key, "19" loads scenario 1 at the "1" and nothing at the "19":
// the fields keep scenario 1, and the note beside them and the field's tool
// tip say so, until the number names a scenario again.
void TestWindows::testFieldSaysWhenItNamesNoScenario() {
  Program p;
  QCOMPARE(p.form1.TestNote()->text(), QString());
  p.Type(10, QStringLiteral("19"));
  const QString note = QStringLiteral("no scenario 19: the fields hold scenario 1");
  QCOMPARE(p.form1.TestNote()->text(), note);
  QCOMPARE(p.form1.Text1(10)->toolTip(), QStringLiteral("19\n") + note);
  QCOMPARE(p.Field(13), QStringLiteral(" 2"));  // scenario 1's "t d fact"
  // The note is on the row of "test", within the window's width, clear of
  // every field.
  const QRect at = p.form1.TestNote()->geometry();
  QCOMPARE(at.top(), p.form1.Text1(10)->y());
  QVERIFY(at.right() < p.form1.width());
  for (int i = 0; i < lab::kControlFields; ++i)
    QVERIFY(!at.intersects(p.form1.Text1(i)->geometry()));

  p.Type(10, QStringLiteral("3.5"));  // 3, 3., 3.5: all scenarios
  QCOMPARE(p.form1.TestNote()->text(), QString());
  QCOMPARE(p.form1.Text1(10)->toolTip(), QStringLiteral("3.5"));
  QTest::keyClicks(p.form1.Text1(10), QStringLiteral("7"));
  QCOMPARE(p.form1.TestNote()->text(), QStringLiteral("no scenario 3.57: the fields hold scenario 3.5"));
}

// What the batch runner writes on standard error for the options, each line
// without the program's name and the given prefix.
QStringList BatchSays(const std::vector<std::string>& args, const QString& prefix) {
  std::ostringstream out, err;
  std::vector<std::string> all = args;
  all.insert(all.end(), {"--max-steps", "100", "--quiet", "--jobs", "1"});
  lab::RunBatch(all, out, err);
  QStringList lines;
  for (const QString& line : QString::fromStdString(err.str()).split(QLatin1Char('\n')))
    if (line.startsWith(prefix)) lines << line.mid(prefix.size());
  return lines;
}

// Start clicked as a user does: the message on screen once the first test
// runs; then the program is closed.
QString ToldOnceRunning(Program& p) {
  QString told;
  QTimer::singleShot(0, [&] { p.Click(Button::CommandStart); });
  When([&] { return p.s.tcnt > 0; }, [&] {
    if (p.port.MessageBox() && p.port.MessageBox()->isVisible()) told = p.port.MessageBox()->text();
    p.form1.close();
  });
  return RunUntilEnd(p, 10000) ? told : QStringLiteral("(timed out)");
}

// Start checks the fields as the batch runner checks its options: a series
// that would not end is not begun, and a typed text Start does not read as
// it says is told once the series runs, in the batch runner's words.
void TestWindows::startRefusedOrWarnedInTheBatchRunnersWords() {
  {
    Program p;
    p.Type(14, QStringLiteral("0"));
    p.Click(Button::CommandStart);
    QMessageBox* box = p.port.MessageBox();
    QVERIFY(box != nullptr && box->isVisible());
    QCOMPARE(QStringList{box->text()},
             BatchSays({"--set", "dalpha=0"}, QStringLiteral("encounter-batch: ")));
    QVERIFY(box->text().contains(QStringLiteral("the series would not end")));
    QCOMPARE(p.s.runstate, -1);  // no series, no test
    QVERIFY(!p.form2.isVisible() && p.Result(0) == QStringLiteral("Text1"));
  }
  {
    // Body 3 typed inside the pair's separation of 10000 km.
    Program p;
    p.Type(12, QStringLiteral("10"));
    p.Type(4, QStringLiteral("0.00005 AU"));
    const QString told = ToldOnceRunning(p);
    // The first test's speed caveat, if it came already, is added below.
    QCOMPARE(QStringList{told.section(QStringLiteral("\n\n"), 0, 0)},
             BatchSays({"--set", "dist2=0.00005 AU", "--set", "end=10"},
                       QStringLiteral("encounter-batch: warning: ")));
    QVERIFY(told.startsWith(QStringLiteral("body 3 starts 7480 km from the centre, inside")));
  }
  Program p;
  p.Type(12, QStringLiteral("10"));
  p.Type(3, QStringLiteral("2"));     // read only with the unit AU
  p.Type(11, QStringLiteral("0,5"));  // reads as 0
  const QString told = ToldOnceRunning(p);
  const QStringList batch =
      BatchSays({"--set", "dist1=2", "--set", "start=0,5", "--set", "end=10"},
                QStringLiteral("encounter-batch: warning: "));
  QCOMPARE(batch.size(), 2);
  QCOMPARE(told, QStringLiteral("field \"dist 1\" (\"2\")") +
                     batch[0].mid(QStringLiteral("--set dist1=\"2\"").size()) +
                     QStringLiteral("\nfield \"start\" (\"0,5\")") +
                     batch[1].mid(QStringLiteral("--set start=\"0,5\"").size()));
  QVERIFY(told.contains(QStringLiteral("this text is ignored")));
}

// A comma is the point in the masses and "t d fact", which read it so:
// nothing to tell. Elsewhere it ends the number, and Start says what the
// text reads as. "m3" 1,5 in scenario 0 is above 1: "dist 2" is derived.
void TestWindows::startReadsADecimalCommaAsEachFieldDoes() {
  const struct {
    const char* test;
    int field;
    const char* text;
    const char* told;
  } cases[] = {
      {"0", 2, "0,5", ""},
      {"0", 1, "2,5", ""},
      {"0", 0, "1,0", ""},  // "m1" 1, as scenario 0 sets it
      {"2", 13, "2,5", ""},
      {"2", 11, "5,5", "field \"start\" (\"5,5\") reads as 5"},
      {"2", 14, "7,5", "field \"d alpha\" (\"7,5\") reads as 7"},
      {"2", 3, "1,5 AU", "field \"dist 1\" (\"1,5 AU\") reads as 1 AU"},
      {"0", 2, "1,5", "field \"dist 2\" (\"3 AU\"): scenario 0 derives"},
  };
  for (const auto& c : cases) {
    Program p;
    p.Type(10, QString::fromLatin1(c.test));
    std::array<bool, lab::kControlFields> typed{};
    for (const auto& [field, text] : {std::pair<int, const char*>{c.field, c.text}, {4, "3 AU"}}) {
      if (field == 4 && (c.field != 2 || !*c.told)) continue;
      p.form1.Text1(field)->setText(QString::fromLatin1(text));
      typed[field] = true;
    }
    const lab::StartCheck check = lab::CheckStart(p.s, p.port, typed);
    QVERIFY(check.refusal.empty());
    QStringList told;
    for (const std::string& w : check.warnings) told << QString::fromStdString(w);
    QVERIFY2(*c.told ? told.size() == 1 && told[0].startsWith(QString::fromLatin1(c.told)) : told.isEmpty(),
             qPrintable(QString::fromLatin1(c.text) + ": " + told.join('\n')));
  }
}

void TestWindows::dataDisplaySaysWhatRowsAndColumnsHold() {
  Program p;
  const char* rows[3] = {"running test", "last finished test", "smallest ratio"};
  for (int i = 0; i < lab::kResultFields; ++i)
    QVERIFY2(p.form3.Text1(i)->Note().contains(QLatin1String(rows[i / lab::kResultColumns])),
             qPrintable(QString::number(i)));
  QVERIFY(p.form3.Text1(14)->Note().contains(QStringLiteral("body 1, or of body 2")));
  const char* columns[lab::kResultColumns] = {"angle", "body 1", "body 2", "body 3",
                                              "escape speed", "farther", "Smallest"};
  for (int c = 0; c < lab::kResultColumns; ++c)
    QVERIFY2(p.form3.Label1(c)->toolTip().contains(QLatin1String(columns[c])),
             qPrintable(p.form3.Label1(c)->toolTip()));
}

// What the user gave the windows comes back at the next start; the first
// start, and the first after the layout is forgotten, has the program's own.
void TestWindows::layoutKeptForTheNextStartUntilReset() {
  QRect control, data;  // as laid out by the program
  {
    Program p;
    control = p.form1.geometry();
    data = p.form3.geometry();
  }
  {
    Program p(true);
    QCOMPARE(p.form1.geometry(), control);
    p.form1.setGeometry(40, 60, control.width() + 30, control.height() + 150);
    p.form3.setGeometry(500, 420, 520, 200);
    p.form1.close();
    QVERIFY(p.port.Ended());
  }
  {
    Program p(true);
    QCOMPARE(p.form1.geometry(), QRect(40, 60, control.width() + 30, control.height() + 150));
    QCOMPARE(p.form3.geometry(), QRect(500, 420, 520, 200));
    p.Click(Button::CommandStop);  // before any Start: the end, which keeps the layout too
  }
  lab::ForgetLayout();
  Program p(true);
  QCOMPARE(p.form1.geometry(), control);
  QCOMPARE(p.form3.geometry(), data);
}

int main(int argc, char* argv[]) { return window_test::RunTests<TestWindows>(argc, argv); }
#include "test_windows.moc"
