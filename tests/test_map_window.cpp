// The Outcome Map window: its cells and saved files are those of
// encounter-batch map for the same request, a click on a cell runs exactly
// that test in the Trajectory and Data Displays, Stop keeps the cells done,
// and a map is kept in the data folder, the newest fifty, and reopens as it
// was (a series kept: test_kept_results.cpp).
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QContextMenuEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "ui/qt/kept_folder.h"
#include "ui/qt/map_window.h"
#include "window_program.h"

namespace {

using lab::Button;
using window_test::Batch;
using window_test::Contents;
using window_test::Program;
using window_test::RunUntilEnd;
using window_test::When;

// Scenario 2 with three angles, typed into the Control Display as a user
// does, and the map window's axis: dist2 from 1.5 to 3 AU.
void TypeScenario(Program& p, lab::Form4& w, const QString& end, const QString& count) {
  p.Type(10, QStringLiteral("2"));
  p.form1.Text1(11)->setText(QStringLiteral("5"));
  p.form1.Text1(12)->setText(end);
  p.form1.Text1(14)->setText(QStringLiteral("12.5"));
  w.YField()->setCurrentText(QStringLiteral("dist2"));
  w.From()->setText(QStringLiteral("1.5"));
  w.To()->setText(QStringLiteral("3"));
  w.Count()->setText(count);
}

const QStringList kBatchMap = {"map", "--test", "2", "--set", "start=5", "--set", "end=30",
                               "--set", "dalpha=12.5", "--y", "dist2=1.5:3:3"};

// The column of a CSV line by its header name.
QString Column(const QString& header, const QString& line, const QString& name) {
  return line.split(',').value(header.split(',').indexOf(name));
}

}  // namespace

class TestMapWindow : public QObject {
  Q_OBJECT

 private slots:
  void opensFromBothContextMenus();
  void refusedAxisIsToldAndNothingRuns();
  void cellsAndFilesEqualTheBatchMapAndAClickReplaysACell();
  void stopMidMapKeepsTheCellsDone();
  void keptResultsAreTheNewestFifty();

 private:
  window_test::KeptInTemporaryFolder kept_;
};

void TestMapWindow::opensFromBothContextMenus() {
  Program p;
  lab::Form4 w(p.form1, p.port);
  QObject::connect(p.form1.OutcomeMapAction(), &QAction::triggered, &w, &lab::Form4::Open);
  QObject::connect(p.form3.OutcomeMapAction(), &QAction::triggered, &w, &lab::Form4::Open);
  QCOMPARE(p.form1.contextMenuPolicy(), Qt::ActionsContextMenu);
  QVERIFY(p.form1.actions().contains(p.form1.OutcomeMapAction()));
  p.form3.OutcomeMapAction()->trigger();
  QVERIFY(w.isVisible());
  QCOMPARE(w.windowTitle(), QStringLiteral("Outcome Map"));
  w.close();
  p.form1.OutcomeMapAction()->trigger();
  QVERIFY(w.isVisible());
}

// The engine's refusal, in its words, in the progress line; and a count
// that is no number.
void TestMapWindow::refusedAxisIsToldAndNothingRuns() {
  Program p;
  lab::Form4 w(p.form1, p.port);
  TypeScenario(p, w, QStringLiteral("30"), QStringLiteral("3"));
  w.YField()->setCurrentText(QStringLiteral("m2"));
  w.RunMap();
  QVERIFY2(w.ProgressLine()->text().contains(QStringLiteral("runs over dist1 dist2 tdfact")),
           qPrintable(w.ProgressLine()->text()));
  QVERIFY(w.Run() == nullptr && w.RunButton()->isEnabled());
  w.YField()->setCurrentText(QStringLiteral("dist2"));
  w.Count()->setText(QStringLiteral("three"));
  w.RunMap();
  QVERIFY(w.ProgressLine()->text().contains(QStringLiteral("whole count")));
  QVERIFY(w.Run() == nullptr);
}

void TestMapWindow::cellsAndFilesEqualTheBatchMapAndAClickReplaysACell() {
  QTemporaryDir dir;
  const QByteArray expected = Batch(kBatchMap + QStringList{
      "--map-svg", dir.filePath("batch.svg"), "--map-png", dir.filePath("batch.png")});
  QCOMPARE(expected.count('\n'), 10);  // the header and 3 x 3 cells

  Program p;
  lab::Form4 w(p.form1, p.port);
  w.Open();
  TypeScenario(p, w, QStringLiteral("30"), QStringLiteral("3"));
  QTest::mouseClick(w.RunButton(), Qt::LeftButton);
  QVERIFY(w.StopButton()->isEnabled());
  QTRY_VERIFY_WITH_TIMEOUT(w.RunButton()->isEnabled(), 120000);
  QCOMPARE(QByteArray::fromStdString(w.Cells().csv), expected);
  QVERIFY2(w.ProgressLine()->text().startsWith(QStringLiteral("Complete: 9 cells")),
           qPrintable(w.ProgressLine()->text()));

  // Saved: the batch runner's three files.
  QString error;
  QVERIFY(w.SaveMap(dir.filePath("window.csv"), &error));
  QCOMPARE(Contents(dir.filePath("window.csv")), expected);
  QCOMPARE(Contents(dir.filePath("window.svg")), Contents(dir.filePath("batch.svg")));
  QCOMPARE(Contents(dir.filePath("window.png")), Contents(dir.filePath("batch.png")));

  // Kept without asking, listed first, and reopened as it was.
  const auto kept = lab::KeptResultsList();
  QVERIFY(!kept.empty() && kept.front().map);
  QCOMPARE(Contents(kept.front().Csv()), expected);
  QVERIFY(Contents(kept.front().path + "/record.json").contains("\"program\": \"encounter-batch\""));
  QCOMPARE(Contents(kept.front().path + "/picture.png"), Contents(dir.filePath("batch.png")));
  const std::vector<int> outcomes = w.Cells().grid.outcome;
  QCOMPARE(w.KeptList()->count(), static_cast<int>(kept.size()));
  w.OpenKept(0);
  QCOMPARE(QByteArray::fromStdString(w.Cells().csv), expected);
  QCOMPARE(w.Cells().grid.outcome, outcomes);
  QVERIFY(std::count(outcomes.begin(), outcomes.end(), -1) == 0);

  // Pointing at a cell shows its row: the middle cell, 17.5 degrees at 2.25 AU.
  const QStringList lines = QString::fromUtf8(expected).split('\n');
  const QString header = lines[0], line = lines[5];
  const QString tip = w.CellTip(4);
  for (const QString name : {"dist2_au", "alpha", "v3", "end", "ratio", "steps"})
    QVERIFY2(tip.contains(name + ": " + Column(header, line, name)), qPrintable(tip));
  QCOMPARE(Column(header, line, "alpha"), QStringLiteral("17.5"));

  // A click on that cell runs exactly its test through Start: the series of
  // one test equals the map's line after the y value (best aside: the map
  // decides it along the whole row).
  w.RunMap();
  QTRY_VERIFY_WITH_TIMEOUT(w.RunButton()->isEnabled(), 120000);
  QTest::mouseClick(w.Canvas(), Qt::LeftButton, {}, w.Canvas()->CentreOf(4));
  QString replayed;
  When([&] { return p.s.runstate == 1; }, [&] {
    replayed = QString::fromStdString(p.port.Kept().SeriesCsv());
    p.Click(Button::CommandStop);
  });
  QVERIFY(RunUntilEnd(p, 60000));
  QCOMPARE(p.Field(11), QStringLiteral("17.5"));
  QCOMPARE(p.Field(12), QStringLiteral("17.5"));
  QCOMPARE(p.Field(4), QStringLiteral("2.25 AU"));
  const QStringList series = replayed.split('\n');
  QCOMPARE(series.size(), 3);  // the header, one test, nothing after the last line feed
  QStringList got = series[1].split(','), want = line.split(',').mid(1);
  const auto best = series[0].split(',').indexOf(QStringLiteral("best"));
  QVERIFY(best > 0);
  got.removeAt(best);
  want.removeAt(best);
  QCOMPARE(got, want);
}

void TestMapWindow::stopMidMapKeepsTheCellsDone() {
  Program p;
  lab::Form4 w(p.form1, p.port);
  // 8 angles x 6 distances: far longer than the moment before Stop.
  TypeScenario(p, w, QStringLiteral("92.5"), QStringLiteral("6"));
  const int before = static_cast<int>(lab::KeptResultsList().size());
  w.RunMap();
  QTRY_VERIFY_WITH_TIMEOUT(w.Cells().taken >= 2, 60000);
  QTest::mouseClick(w.StopButton(), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(w.RunButton()->isEnabled(), 60000);
  const lab::MapCells& cells = w.Cells();
  QVERIFY(cells.taken >= 2 && cells.taken < 48);
  QVERIFY2(w.ProgressLine()->text().startsWith(QStringLiteral("Stopped: %1 of 48").arg(cells.taken)),
           qPrintable(w.ProgressLine()->text()));
  QCOMPARE(std::count_if(cells.grid.outcome.begin(), cells.grid.outcome.end(),
                         [](int o) { return o >= 0; }),
           cells.taken);
  QVERIFY(!w.SaveButton()->isEnabled());
  // The cells done are the first lines of the whole map, and kept.
  const QByteArray whole =
      Batch({"map", "--test", "2", "--set", "start=5", "--set", "end=92.5", "--set", "dalpha=12.5",
             "--y", "dist2=1.5:3:6"});
  QVERIFY(whole.startsWith(QByteArray::fromStdString(cells.csv)));
  const auto kept = lab::KeptResultsList();
  QCOMPARE(static_cast<int>(kept.size()), before + 1);
  QCOMPARE(Contents(kept.front().Csv()), QByteArray::fromStdString(cells.csv));
  QVERIFY(kept.front().title.endsWith(QStringLiteral("map, scenario 2 by dist2_au, stopped")));

  // The program ends during a map: the cells done are kept all the same.
  {
    lab::Form4 ending(p.form1, p.port);
    ending.From()->setText(QStringLiteral("1.5"));
    ending.To()->setText(QStringLiteral("3"));
    ending.Count()->setText(QStringLiteral("6"));
    ending.RunMap();
    QTRY_VERIFY_WITH_TIMEOUT(ending.Cells().taken >= 1, 60000);
  }
  QCOMPARE(lab::KeptResultsList().size(), kept.size() + 1);
  QVERIFY(whole.startsWith(Contents(lab::KeptResultsList().front().Csv())));
}

void TestMapWindow::keptResultsAreTheNewestFifty() {
  QCOMPARE(lab::KeptFolder(), kept_.dir.path() + "/encounterlab");
  QString error;
  for (int k = 0; k < lab::kKeptResults + 2; ++k)
    QVERIFY(lab::KeepResult(QStringLiteral("series, number %1").arg(k), false,
                            {{QStringLiteral("series.csv"), QByteArray::number(k)}}, &error));
  const auto kept = lab::KeptResultsList();
  QCOMPARE(static_cast<int>(kept.size()), lab::kKeptResults);
  QVERIFY(kept.front().title.endsWith(QStringLiteral("series, number 51")));
  QCOMPARE(Contents(kept.front().Csv()), QByteArray("51"));
  QVERIFY(kept.back().title.endsWith(QStringLiteral("series, number 2")));
}

QTEST_MAIN(TestMapWindow)
#include "test_map_window.moc"
