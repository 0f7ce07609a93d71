// What the user can keep of a series: every finished test of the running
// series, as the rows the batch runner prints (saved as CSV or copied to the
// clipboard, byte for byte what encounter-batch prints for the same series),
// and the picture of the Trajectory Display as a PNG file.
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "encounter/scenario.h"
#include "records/run_record.h"
#include "series/series_port.h"
#include "port/display_port.h"

class QWidget;

namespace lab {

class Form2;
class Form3;

class KeptResults : public QObject {
  Q_OBJECT

 public:
  // tell shows the user a message (a file that could not be written).
  KeptResults(Form2& form2, Form3& form3, std::function<void(const QString&)> tell);

  // A new series begins, from the Control Display as Start found it: the
  // kept tests are dropped.
  void NewSeries(const encounter::Scenario& scenario);
  // The fields as the series' first test used them, and its physical
  // set-up (the record lists them).
  void FirstTestFields(const std::array<std::string, kControlFields>& fields, bool au,
                       const PhysicalSetUp& setup);
  // Every write of the logic to the Data Display, with the colour of row 1's
  // "V #3" (light red or not) and the heading of "Vesc" at that moment.
  void ResultText(int index, const std::string& text, bool v3_red, const std::string& heading);
  void TestFinished(const TestSummary& summary);

  int Tests() const { return static_cast<int>(rows_.size()); }
  // The header and one line per kept test.
  std::string SeriesCsv() const;
  // False (and *error says why) when the file could not be written.
  bool SaveSeries(const QString& path, QString* error) const;
  bool SavePicture(const QString& path, QString* error) const;
  void CopySeries() const;

  // The record of the series as encounter-batch --meta writes it, with the
  // batch runner's arguments that repeat the series.
  std::string SeriesRecordJson() const;
  // The series has run to its end: its CSV, record and picture go to the
  // data folder (kept_folder.h), once. False when they could not be written.
  bool KeepFinishedSeries(QString* error);
 private:
  // Asks for a file name without stopping the series, then saves.
  void AskForFile(QWidget* window, const QString& title, const QString& filter,
                  const QString& suggested,
                  std::function<bool(const QString&, QString*)> save);

  Form2& form2_;
  Form3& form3_;
  std::function<void(const QString&)> tell_;
  TestRow row_;  // the running test's row, as far as it is written
  std::vector<TestRow> rows_;
  encounter::Scenario scenario_;
  std::array<std::string, kControlFields> fields_{};
  bool au_ = false;
  std::optional<PhysicalSetUp> setup_;
  std::string start_time_;
  bool kept_ = false;  // the finished series is in the data folder
};

}  // namespace lab
