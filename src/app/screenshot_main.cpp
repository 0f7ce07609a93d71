// Takes a picture of the three windows in use: preset 2 is typed into the
// field "test", Start is clicked, and after a few tests the windows are
// grabbed and set side by side under their captions in one PNG, with the
// Data Display's context menu open.
//
//   encounter-screenshot OUTPUT.png
//   encounter-screenshot --map OUTPUT.png
//
// With --map: the Outcome Map window after a map of preset 2 by start angle
// and "dist 2" (the map is kept in a temporary data folder, not the user's).
//
// Runs under the offscreen platform, so it needs no display.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "state/sim_state.h"
#include "control/handlers.h"
#include "ui/qt/control_display.h"
#include "ui/qt/data_display.h"
#include "ui/qt/map_window.h"
#include "ui/qt/qt_port.h"
#include "ui/qt/trajectory_display.h"

namespace {

constexpr int kTestsBeforeShot = 3;
constexpr int kLatestShotMs = 20000;  // in case the tests take longer

// The port that tells when enough tests have finished.
class ShotPort : public lab::QtPort {
 public:
  using lab::QtPort::QtPort;
  int finished = 0;
  void TestFinished(const lab::TestSummary& summary) override {
    lab::QtPort::TestFinished(summary);
    ++finished;
  }
};

constexpr int kTitleBar = 22;

// One window under a drawn title bar with the window's icon, since the
// offscreen platform draws no window frames.
QImage Framed(QWidget& window) {
  const QPixmap client = window.grab();
  const int bar = kTitleBar;
  QImage framed(client.width() + 2, client.height() + bar + 1, QImage::Format_RGB32);
  framed.fill(QColor(70, 90, 120));
  QPainter p(&framed);
  p.drawPixmap(1, bar, client);
  p.drawPixmap(4, 3, window.windowIcon().pixmap(16, 16));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(12);
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(24, 0, framed.width() - 32, bar), Qt::AlignVCenter | Qt::AlignLeft,
             window.windowTitle());
  return framed;
}

// The Data Display with its context menu open over row 1, as a right click
// there opens it.
QImage FramedWithMenu(QWidget& window) {
  const QPoint at(window.width() / 2, window.height() / 2);
  QContextMenuEvent click(QContextMenuEvent::Mouse, at, window.mapToGlobal(at));
  QCoreApplication::sendEvent(&window, &click);
  QImage framed = Framed(window);
  if (auto* menu = window.findChild<QMenu*>(); menu != nullptr && menu->isVisible()) {
    QPainter p(&framed);
    p.drawPixmap(1 + at.x(), kTitleBar + at.y(), menu->grab());
    menu->close();
  }
  return framed;
}

QImage SideBySide(const std::vector<QImage>& parts) {
  const int gap = 16;
  int width = gap;
  int height = 0;
  for (const QImage& part : parts) {
    width += part.width() + gap;
    height = std::max(height, part.height());
  }
  QImage whole(width, height + 2 * gap, QImage::Format_RGB32);
  whole.fill(QColor(225, 225, 225));
  QPainter p(&whole);
  int x = gap;
  for (const QImage& part : parts) {
    p.drawImage(x, gap, part);
    x += part.width() + gap;
  }
  return whole;
}

// The Outcome Map window once its map is complete.
bool ShootMap(const QString& output) {
  QTemporaryDir data_home;
  qputenv("XDG_DATA_HOME", data_home.path().toUtf8());
  lab::SimState s;
  lab::Form1 form1;
  lab::Form2 form2;
  lab::Form3 form3;
  lab::QtPort port(s, form1, form2, form3);
  port.StartUp();
  lab::Form4 window(form1, port);
  window.Open();
  form1.Text1(10)->setText(QStringLiteral("2"));
  form1.Text1(11)->setText(QStringLiteral("0"));
  form1.Text1(12)->setText(QStringLiteral("357"));
  form1.Text1(14)->setText(QStringLiteral("3"));
  window.From()->setText(QStringLiteral("1.5"));
  window.To()->setText(QStringLiteral("3"));
  window.Count()->setText(QStringLiteral("40"));
  window.Integrator()->setCurrentText(QStringLiteral("gauss-radau"));
  window.RunMap();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (window.RunButton()->isEnabled()) QCoreApplication::quit();
  });
  poll.start(50);
  QApplication::exec();
  const bool saved = Framed(window).save(output);
  form1.AllowClose();
  return saved;
}

}  // namespace

int main(int argc, char* argv[]) {
  const bool map = argc == 3 && std::string(argv[1]) == "--map";
  if (argc != 2 && !map) {
    std::fprintf(stderr, "usage: encounter-screenshot [--map] OUTPUT.png\n");
    return 2;
  }
  const QString output = QString::fromLocal8Bit(argv[argc - 1]);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  if (map) {
    if (!ShootMap(output)) {
      std::fprintf(stderr, "encounter-screenshot: could not write %s\n", argv[argc - 1]);
      return 1;
    }
    std::printf("%s\n", argv[argc - 1]);
    return 0;
  }

  lab::SimState s;
  lab::Form1 form1;
  lab::Form2 form2;
  lab::Form3 form3;
  ShotPort port(s, form1, form2, form3);
  port.StartUp();

  // Preset 2, typed as a user would.
  QLineEdit* test = form1.Text1(10);
  test->selectAll();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_2, Qt::NoModifier, QStringLiteral("2"));
  QCoreApplication::sendEvent(test, &press);

  bool saved = false;
  auto shoot = [&] {
    if (saved) return;
    // Enlarged as a user would, so that the fields below the first client
    // height show as well.
    form1.resize(form1.width(), form1.Text1(14)->geometry().bottom() + 9);
    saved = SideBySide({Framed(form1), Framed(form2), FramedWithMenu(form3)}).save(output);
    form1.close();  // ends the program, as the user's close does
  };
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (port.finished >= kTestsBeforeShot) shoot();
  });
  poll.start(20);
  QTimer::singleShot(kLatestShotMs, shoot);
  QTimer::singleShot(0, [&] { form1.Command(lab::Button::CommandStart)->click(); });
  QApplication::exec();

  if (!saved) {
    std::fprintf(stderr, "encounter-screenshot: could not write %s\n", argv[1]);
    return 1;
  }
  std::printf("%s\n", argv[1]);
  return 0;
}
