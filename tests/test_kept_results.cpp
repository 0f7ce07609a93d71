// What the user keeps of a series from the windows: the series saved as CSV
// (through the Data Display's context menu or Ctrl+S) is byte for byte what
// encounter-batch prints for the same scenario and edits, the copy on the
// clipboard is the same text, and the picture saved as PNG is the drawing
// area as shown. A series run to its end is kept in the data folder by the
// time a Stop ends the program, with its record and picture.
#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

#include "ui/qt/kept_folder.h"
#include "window_program.h"

namespace {

using lab::Button;
using window_test::Batch;
using window_test::Contents;
using window_test::Program;
using window_test::RunUntilEnd;
using window_test::When;

// Presses Ctrl+S in the window, as a user does, and answers the file dialog
// that opens with the path.
void SaveThroughDialog(QWidget& window, const QString& path) {
  QApplication::setActiveWindow(&window);
  QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
  QFileDialog* dialog = nullptr;  // the open one; an answered one may not be deleted yet
  for (QFileDialog* d : window.findChildren<QFileDialog*>(QStringLiteral("SaveDialog")))
    if (d->isVisible()) dialog = d;
  QVERIFY(dialog != nullptr);
  dialog->selectFile(path);
  static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, as the Save button does
}

// Both context menus hold their entries.
QStringList MenuTexts(QWidget& window) {
  QStringList texts;
  for (const QAction* a : window.actions()) texts << a->text();
  return texts;
}

}  // namespace

class TestKeptResults : public QObject {
  Q_OBJECT

 private slots:
  void savedSeriesEqualsTheBatchRunner();
  void savedPictureIsTheDrawingArea();

 private:
  window_test::KeptInTemporaryFolder kept_;
};

void TestKeptResults::savedSeriesEqualsTheBatchRunner() {
  QTemporaryDir dir;
  const QString saved = dir.filePath(QStringLiteral("series.csv"));
  Program p;
  QCOMPARE(MenuTexts(p.form3),
           QStringList({QStringLiteral("Save series as CSV…"), QStringLiteral("Copy series"),
                        QStringLiteral("Outcome Map…")}));
  QCOMPARE(p.form3.SaveSeriesAction()->shortcut(), QKeySequence(QKeySequence::Save));
  // A right click on a result field opens the window's menu, not the field's.
  p.form3.show();
  QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                          p.form3.Text1(3)->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(p.form3.Text1(3), &click);
  auto* menu = p.form3.findChild<QMenu*>();
  QVERIFY(menu != nullptr && menu->isVisible());
  QCOMPARE(menu->actions().size(), 4);  // the two, a separator, the map window
  menu->close();

  // Preset 2 with its angles edited: three tests, one absorbed (not best,
  // no ratio), two faster than their escape speed.
  p.Type(10, QStringLiteral("2"));
  p.form1.Text1(11)->setText(QStringLiteral("5"));
  p.form1.Text1(12)->setText(QStringLiteral("35"));
  p.form1.Text1(14)->setText(QStringLiteral("15"));
  QString copied;
  int kept_after_restart = -1;
  QTimer::singleShot(0, [&] { p.Click(Button::CommandStart); });
  When([&] { return p.s.runstate == 1; }, [&] {  // the series has ended
    SaveThroughDialog(p.form3, saved);
    p.form3.CopySeriesAction()->trigger();
    copied = QGuiApplication::clipboard()->text();
    // A new series starts its own list.
    p.form1.Text1(12)->setText(QStringLiteral("5"));
    p.Click(Button::CommandStart);
    When([&] { return p.s.runstate == 1; }, [&] {
      kept_after_restart = p.port.Kept().Tests();
      p.Click(Button::CommandStop);
    });
  });
  QVERIFY(RunUntilEnd(p, 20000));

  const QByteArray expected =
      Batch({"--test", "2", "--set", "start=5", "--set", "end=35", "--set", "dalpha=15"});
  QCOMPARE(expected.count('\n'), 4);  // the header and three tests
  QCOMPARE(Contents(saved), expected);
  QCOMPARE(copied.toUtf8(), expected);
  QCOMPARE(kept_after_restart, 1);
  // Both series ran to their end: kept, the newest first.
  const auto kept = lab::KeptResultsList();
  QCOMPARE(static_cast<int>(kept.size()), 2);
  QVERIFY(!kept[1].map);
  QCOMPARE(Contents(kept[1].Csv()), expected);
  QCOMPARE(Contents(kept[0].Csv()).count('\n'), 2);
  const QByteArray record = Contents(kept[1].path + "/record.json");
  // The set-up as encounter-batch --meta gives it for the same series.
  for (const char* arg : {"\"--test=2\"", "\"--set=start=5\"", "\"--set=dalpha=15\"", "\"tests_written\": 3",
                          "\"untrusted\": null",  // the windows do not follow the energy
                          "\"absorption distance\": {\"value\": 71606.22355771651, \"unit\": \"km\"}",
                          "\"n stars\": {\"value\": 3,", "\"cond\": {\"value\": 351153,"})
    QVERIFY2(record.contains(arg), arg);
  QVERIFY(QImage(kept[1].path + "/picture.png").size() == p.form2.size());
}

void TestKeptResults::savedPictureIsTheDrawingArea() {
  QTemporaryDir dir;
  const QString saved = dir.filePath(QStringLiteral("picture.png"));
  Program p;
  QCOMPARE(MenuTexts(p.form2), QStringList({QStringLiteral("Save picture as PNG…")}));
  p.port.ShowResultWindows();
  p.port.ClearTrajectory();
  const lab::TwipScale scale = p.form2.Scale();
  for (int k = 0; k < 50; ++k)
    p.port.PlotPoint(static_cast<float>((10 + 3 * k) * scale.x),
                     static_cast<float>((20 + 2 * k) * scale.y), lab::kPalette[k % 16]);
  SaveThroughDialog(p.form2, saved);
  QImage png(saved);
  QCOMPARE(png.size(), p.form2.size());
  QCOMPARE(png.convertToFormat(QImage::Format_RGB32), p.form2.grab().toImage().convertToFormat(
                                                          QImage::Format_RGB32));
  QCOMPARE(png.pixel(10, 20), qRgb(0, 0, 0));
  QCOMPARE(png.pixel(13, 22), qRgb(0, 0, 128));

  // A place that cannot be written is told, not passed over.
  SaveThroughDialog(p.form2, dir.filePath(QStringLiteral("no/such/folder/picture.png")));
  QTRY_VERIFY(p.port.MessageBox() != nullptr && p.port.MessageBox()->isVisible());
  QVERIFY(p.port.MessageBox()->text().contains(QStringLiteral("could not be saved")));
}

QTEST_MAIN(TestKeptResults)
#include "test_kept_results.moc"
