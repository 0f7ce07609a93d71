#include "ui/qt/kept_results.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QSaveFile>
#include <utility>

#include "records/csv.h"
#include "records/run_record.h"
#include "simulation/accurate_test.h"
#include "simulation/test_row.h"
#include "ui/qt/data_display.h"
#include "ui/qt/kept_folder.h"
#include "ui/qt/trajectory_display.h"

namespace lab {

KeptResults::KeptResults(Form2& form2, Form3& form3, std::function<void(const QString&)> tell)
    : form2_(form2), form3_(form3), tell_(std::move(tell)) {
  connect(form3_.SaveSeriesAction(), &QAction::triggered, this, [this] {
    AskForFile(&form3_, QStringLiteral("Save series as CSV"),
               QStringLiteral("CSV files (*.csv)"), QStringLiteral("series.csv"),
               [this](const QString& path, QString* error) { return SaveSeries(path, error); });
  });
  connect(form3_.CopySeriesAction(), &QAction::triggered, this, [this] { CopySeries(); });
  connect(form2_.SavePictureAction(), &QAction::triggered, this, [this] {
    AskForFile(&form2_, QStringLiteral("Save picture as PNG"),
               QStringLiteral("PNG pictures (*.png)"), QStringLiteral("trajectories.png"),
               [this](const QString& path, QString* error) { return SavePicture(path, error); });
  });
}

void KeptResults::NewSeries(const encounter::Scenario& scenario) {
  rows_.clear();
  scenario_ = scenario;
  fields_ = {};
  setup_.reset();
  start_time_ = UtcNow();
  kept_ = false;
}

void KeptResults::FirstTestFields(const std::array<std::string, kControlFields>& fields, bool au,
                                  const PhysicalSetUp& setup) {
  fields_ = fields;
  au_ = au;
  setup_ = setup;
}

void KeptResults::ResultText(int index, const std::string& text, bool v3_red,
                             const std::string& heading) {
  TakeResultText(row_, index, text, v3_red, heading);
}

// The windows have no step limit: a test ends by itself or by Next.
void KeptResults::TestFinished(const TestSummary& summary) {
  if (FinishRow(row_, summary, false)) rows_.push_back(row_);
}

std::string KeptResults::SeriesCsv() const {
  const CsvLayout layout;
  std::string csv = CsvHeader(layout) + '\n';
  BestSoFar best;  // the batch runner's row-2 rule, in series order
  for (std::size_t k = 0; k < rows_.size(); ++k) {
    TestRow row = rows_[k];
    row.best = row.candidate && best.Takes(row.ratio);
    csv += CsvRow(layout, static_cast<std::int64_t>(k), row);
  }
  return csv;
}

bool KeptResults::SaveSeries(const QString& path, QString* error) const {
  const std::string csv = SeriesCsv();
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly) &&
      file.write(csv.data(), static_cast<qint64>(csv.size())) ==
          static_cast<qint64>(csv.size()) &&
      file.commit())
    return true;
  *error = QStringLiteral("The series could not be saved as %1: %2.").arg(path, file.errorString());
  return false;
}

bool KeptResults::SavePicture(const QString& path, QString* error) const {
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly) && form2_.Picture().save(&file, "PNG") && file.commit())
    return true;
  *error = QStringLiteral("The picture could not be saved as %1: %2.").arg(path, file.errorString());
  return false;
}

void KeptResults::CopySeries() const {
  QGuiApplication::clipboard()->setText(QString::fromStdString(SeriesCsv()));
}

std::string KeptResults::SeriesRecordJson() const {
  RunRecord m;
  // The windows set no step limit.
  if (scenario_.test) m.args.push_back("--test=" + *scenario_.test);
  for (const auto& [name, text] : scenario_.fields) m.args.push_back("--set=" + name + '=' + text);
  if (scenario_.unit)
    m.args.push_back(*scenario_.unit == encounter::Unit::kAU ? "--unit=au" : "--unit=km");
  m.args.push_back("--max-steps=0");
  m.fields = fields_;
  m.au = au_;
  m.scenario = scenario_.test.value_or("0");
  m.header = CsvHeader(CsvLayout{});
  m.integrator = kEulerSumsName;
  m.series = SeriesId(fields_, au_, 0, m.integrator, false, m.header);
  m.start_time = start_time_;
  m.series_tests = m.tests = m.written = static_cast<std::int64_t>(rows_.size());
  m.jobs = 1;
  m.untrusted = std::nullopt;  // the windows do not follow the total energy
  m.setup = setup_;
  m.last_steps = rows_.empty() ? 0 : rows_.back().steps;
  return RunRecordJson(m);
}

bool KeptResults::KeepFinishedSeries(QString* error) {
  if (kept_ || rows_.empty()) return true;
  kept_ = true;
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  form2_.Picture().save(&buffer, "PNG");
  const std::string csv = SeriesCsv(), record = SeriesRecordJson();
  const QString title = QStringLiteral("series, scenario ") +
                        QString::fromStdString(scenario_.test.value_or("0"));
  return KeepResult(title, false,
                    {{QStringLiteral("series.csv"), QByteArray::fromStdString(csv)},
                     {QStringLiteral("record.json"), QByteArray::fromStdString(record)},
                     {QStringLiteral("picture.png"), png}},
                    error);
}

void KeptResults::AskForFile(QWidget* window, const QString& title, const QString& filter,
                             const QString& suggested,
                             std::function<bool(const QString&, QString*)> save) {
  auto* dialog = new QFileDialog(window, title, QString(), filter);
  dialog->setObjectName(QStringLiteral("SaveDialog"));
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setDefaultSuffix(QFileInfo(suggested).suffix());
  dialog->selectFile(suggested);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QFileDialog::fileSelected, this, [this, save](const QString& path) {
    QString error;
    if (!save(path, &error)) tell_(error);
  });
  dialog->open();  // modal to its window only; the series goes on
}

}  // namespace lab
