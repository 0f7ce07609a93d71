// What the user sees, picture by picture: the windows drawn offscreen at a
// few telling moments and compared with the pictures in tests/data/windows.
// The moments are fixed by the program's own steps, not by the clock: row 0
// of the Data Display is brought up to date at every display step, and the
// pictures are taken at a chosen step of the run loop.
//
// After an intended change of what the windows show, scripts/window-pictures
// draws the pictures anew (LAB_UPDATE_GOLDEN=1); look at them before
// committing them.
#include <QFontInfo>
#include <QMessageBox>
#include <QPainter>
#include <QtTest>
#include <functional>
#include <vector>

#include "state/sim_state.h"
#include "ui/qt/control_display.h"
#include "ui/qt/data_display.h"
#include "ui/qt/qt_port.h"
#include "ui/qt/trajectory_display.h"
#include "ui/qt/window_font.h"
#include "window_pictures.h"
#include "window_program.h"

namespace {

using lab::Button;
using window_test::CompareWithPicture;

// The port with a clock that ticks at every reading, so that row 0 follows
// every display step, and a hook in the run loop's yields and waits.
class PicturePort : public lab::QtPort {
 public:
  using lab::QtPort::QtPort;
  std::function<void()> at_yield, at_wait;
  std::int64_t TimeOfDay() override { return ++clock_; }
  void YieldEvents() override {
    if (at_yield) at_yield();
    lab::QtPort::YieldEvents();
  }
  void WaitEvents() override {
    if (at_wait) at_wait();
    lab::QtPort::WaitEvents();
  }

 private:
  std::int64_t clock_ = 0;
};

using Program = window_test::ProgramOn<PicturePort>;

// Windows side by side on a plain ground, tops aligned.
QImage SideBySide(const std::vector<QWidget*>& windows) {
  const int gap = 8;
  int width = gap, height = 0;
  std::vector<QImage> parts;
  for (QWidget* w : windows) {
    parts.push_back(w->grab().toImage().convertToFormat(QImage::Format_RGB32));
    width += parts.back().width() + gap;
    height = std::max(height, parts.back().height());
  }
  QImage whole(width, height + 2 * gap, QImage::Format_RGB32);
  whole.fill(QColor(96, 96, 96));
  QPainter painter(&whole);
  int x = gap;
  for (const QImage& part : parts) {
    painter.drawImage(x, gap, part);
    x += part.width() + gap;
  }
  return whole;
}

}  // namespace

class TestWindowPictures : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void startUp();
  void runningWithRedSpeed();
  void finishedSeriesThenClear();
  void noScenarioAndRefusedStart();
};

// The pictures hold the windows' own font: without it every text differs.
void TestWindowPictures::initTestCase() {
  const QFontInfo font(lab::WindowFont());
  QVERIFY2(font.family() == QStringLiteral("DejaVu Sans") &&
               font.styleName().contains(QStringLiteral("Condensed")),
           qPrintable(QStringLiteral("the windows' font is %1 %2, not DejaVu Sans Condensed: "
                                     "install fonts-dejavu-core and fonts-dejavu-extra")
                          .arg(font.family(), font.styleName())));
}

void TestWindowPictures::startUp() {
  Program p;
  CompareWithPicture(SideBySide({&p.form1}), QStringLiteral("start-up"));
}

// Scenario 2's first test after its close passage: V #3 of row 0 in light
// red, the paths drawn so far.
void TestWindowPictures::runningWithRedSpeed() {
  Program p;
  p.Type(10, QStringLiteral("2"));
  bool taken = false;
  p.port.at_yield = [&] {
    const QRgb v3 = p.form3.Text1(3)->palette().color(QPalette::Text).rgb();
    const lab::ColourNumber red = lab::kPalette[12];
    if (taken || v3 != qRgb(lab::RedOf(red), lab::GreenOf(red), lab::BlueOf(red))) return;
    taken = true;
    CompareWithPicture(SideBySide({&p.form2, &p.form3}), QStringLiteral("running"));
    p.port.EndProgram();
  };
  p.Click(Button::CommandStart);
  QVERIFY(taken && p.port.Ended());
}

// Scenario 0 from 0 to 20 degrees: at the end row 1 holds the test at 20
// degrees (body 3 absorbed), row 2 the best, at 10 degrees; Clear
// erases the drawing and leaves the rows.
void TestWindowPictures::finishedSeriesThenClear() {
  Program p;
  p.Type(12, QStringLiteral("20"));
  int pictures = 0;
  p.port.at_wait = [&] {
    if (p.s.runstate != 1) return;  // halted at the end
    CompareWithPicture(SideBySide({&p.form2, &p.form3}), QStringLiteral("finished"));
    p.form1.Command(Button::CommandClear)->click();
    CompareWithPicture(SideBySide({&p.form2}), QStringLiteral("cleared"));
    pictures = 2;
    p.port.EndProgram();
  };
  p.Click(Button::CommandStart);
  QCOMPARE(pictures, 2);
}

// "19" typed into "test", then Start with "d alpha" 0: the note beside the
// field, and the message that the series would not end beside the window.
void TestWindowPictures::noScenarioAndRefusedStart() {
  Program p;
  p.form1.resize(p.form1.width(), p.form1.Text1(14)->geometry().bottom() + 9);  // as a user does
  p.Type(10, QStringLiteral("19"));
  p.Type(14, QStringLiteral("0"));
  p.Click(Button::CommandStart);
  QMessageBox* box = p.port.MessageBox();
  QVERIFY(box != nullptr);
  CompareWithPicture(SideBySide({&p.form1, box}), QStringLiteral("message"));
}

// The pictures do not depend on a layout kept by an earlier run.
int main(int argc, char* argv[]) { return window_test::RunTests<TestWindowPictures>(argc, argv); }

#include "test_window_pictures.moc"
