#include "ui/qt/map_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>

#include "api/map_files.h"
#include "setup/field_names.h"
#include "setup/number_text.h"
#include "ui/qt/control_display.h"
#include "ui/qt/kept_folder.h"
#include "ui/qt/program_identity.h"
#include "ui/qt/qt_port.h"
#include "ui/qt/window_font.h"

namespace lab {

namespace {

// New cells are drawn at most this often: a test that finishes shows within
// two periods, and drawing stays a small part of the map's time.
constexpr int kDrainMs = 100;
constexpr const char* kAxisFields[] = {"dist2", "dist1", "tdfact", "m3", "m2", "m1"};
constexpr const char* kIntegrators[] = {"euler-sums", "gauss-radau", "bulirsch-stoer"};

bool WriteBytes(const QString& path, const std::string& data) {
  QSaveFile file(path);
  return file.open(QIODevice::WriteOnly) &&
         file.write(data.data(), static_cast<qint64>(data.size())) ==
             static_cast<qint64>(data.size()) &&
         file.commit();
}

// An angle as a text that reads back as the same number.
std::string AngleText(double angle) {
  const std::string shortest = NumberText(angle);
  if (ReadNumber(shortest) == angle) return shortest;
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", angle);
  return text;
}

QLineEdit* NumberField(const QString& name, const QString& text, QWidget* parent) {
  auto* field = new QLineEdit(text, parent);
  field->setObjectName(name);
  field->setMaximumWidth(90);
  return field;
}

}  // namespace

Form4::Form4(Form1& form1, QtPort& port, QWidget* parent)
    : QWidget(parent), form1_(form1), port_(port) {
  setObjectName(QStringLiteral("Form4"));
  setWindowTitle(QStringLiteral("Outcome Map"));
  setWindowIcon(ProgramIcon());
  setFont(WindowFont());
  BuildFields();
  WireEvents();
  resize(940, 560);
}

// The program ends while a map runs: the map stops, and the cells done are
// kept in the data folder as for Stop.
Form4::~Form4() {
  if (!Running()) return;
  run_->Stop();
  while (!run_->Done()) QThread::msleep(5);
  Drain();
}

void Form4::BuildFields() {
  y_field_ = new QComboBox(this);
  for (const char* f : kAxisFields) y_field_->addItem(QString::fromLatin1(f));
  y_field_->setToolTip(QStringLiteral("The field of the y axis; the scenario must read it"));
  from_ = NumberField(QStringLiteral("From"), QStringLiteral("1.5"), this);
  to_ = NumberField(QStringLiteral("To"), QStringLiteral("3"), this);
  count_ = NumberField(QStringLiteral("Count"), QStringLiteral("10"), this);
  log_ = new QCheckBox(QStringLiteral("log spacing"), this);
  integrator_ = new QComboBox(this);
  for (const char* i : kIntegrators) integrator_->addItem(QString::fromLatin1(i));
  refine_ = new QSpinBox(this);
  refine_->setRange(0, 8);
  refine_->setToolTip(QStringLiteral("Levels of refinement: a coarser grid first, then only "
                                     "where neighbouring cells differ"));
  colouring_ = new QComboBox(this);
  colouring_->addItems({QStringLiteral("end"), QStringLiteral("ratio")});
  run_button_ = new QPushButton(QStringLiteral("Run map"), this);
  stop_button_ = new QPushButton(QStringLiteral("Stop"), this);
  save_button_ = new QPushButton(QStringLiteral("Save…"), this);
  stop_button_->setEnabled(false);
  save_button_->setEnabled(false);
  progress_ = new QLabel(QStringLiteral("The scenario and the angles are the Control Display's."), this);
  progress_->setObjectName(QStringLiteral("Progress"));
  // One line of fixed height: a new count repaints the line, not the window.
  progress_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  progress_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  canvas_ = new MapCanvas(this);
  canvas_->SetTips([this](std::int64_t cell) { return CellTip(cell); });
  kept_list_ = new QListWidget(this);
  kept_list_->setObjectName(QStringLiteral("Kept"));
  open_button_ = new QPushButton(QStringLiteral("Open"), this);

  auto* axis = new QHBoxLayout;
  axis->addWidget(new QLabel(QStringLiteral("y"), this));
  axis->addWidget(y_field_);
  axis->addWidget(new QLabel(QStringLiteral("from"), this));
  axis->addWidget(from_);
  axis->addWidget(new QLabel(QStringLiteral("to"), this));
  axis->addWidget(to_);
  axis->addWidget(new QLabel(QStringLiteral("count"), this));
  axis->addWidget(count_);
  axis->addWidget(log_);
  axis->addStretch();
  auto* method = new QHBoxLayout;
  method->addWidget(new QLabel(QStringLiteral("integrator"), this));
  method->addWidget(integrator_);
  method->addWidget(new QLabel(QStringLiteral("refine"), this));
  method->addWidget(refine_);
  method->addWidget(new QLabel(QStringLiteral("colour by"), this));
  method->addWidget(colouring_);
  method->addStretch();
  method->addWidget(run_button_);
  method->addWidget(stop_button_);
  method->addWidget(save_button_);
  auto* kept = new QVBoxLayout;
  kept->addWidget(new QLabel(QStringLiteral("Kept results"), this));
  kept->addWidget(kept_list_);
  kept->addWidget(open_button_);
  auto* body = new QHBoxLayout;
  body->addWidget(canvas_, 3);
  body->addLayout(kept, 1);
  auto* all = new QVBoxLayout(this);
  all->addLayout(axis);
  all->addLayout(method);
  all->addWidget(progress_);
  all->addLayout(body, 1);
}

void Form4::WireEvents() {
  connect(run_button_, &QPushButton::clicked, this, &Form4::RunMap);
  connect(stop_button_, &QPushButton::clicked, this, &Form4::StopMap);
  connect(save_button_, &QPushButton::clicked, this, [this] {
    auto* dialog = new QFileDialog(this, QStringLiteral("Save map as CSV, SVG and PNG"), QString(),
                                   QStringLiteral("CSV files (*.csv)"));
    dialog->setObjectName(QStringLiteral("SaveDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->selectFile(QStringLiteral("map.csv"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
      QString error;
      if (!SaveMap(path, &error)) Say(error);
    });
    dialog->open();
  });
  connect(canvas_, &MapCanvas::cellClicked, this, [this](qint64 cell) { ReplayCell(cell); });
  connect(colouring_, &QComboBox::currentIndexChanged, this, [this] { ShowCells(); });
  connect(open_button_, &QPushButton::clicked, this, [this] { OpenKept(kept_list_->currentRow()); });
  connect(kept_list_, &QListWidget::itemActivated, this, [this] { OpenKept(kept_list_->currentRow()); });
  drain_timer_.setInterval(kDrainMs);
  connect(&drain_timer_, &QTimer::timeout, this, &Form4::Drain);
}

void Form4::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) ListKept();
  QWidget::changeEvent(event);
}

void Form4::Open() {
  ListKept();
  show();
  raise();
  activateWindow();
}

MapColouring Form4::ColouringChosen() const {
  return colouring_->currentIndex() == 1 ? MapColouring::kRatio : MapColouring::kEnd;
}

void Form4::Say(const QString& text) { progress_->setText(text); }

void Form4::RunMap() {
  if (Running()) return;
  MapRequest request;
  request.scenario = port_.FieldsScenario();
  bool ok_from = false, ok_to = false, ok_count = false;
  request.axis.field = y_field_->currentText().toStdString();
  request.axis.from = from_->text().trimmed().toDouble(&ok_from);
  request.axis.to = to_->text().trimmed().toDouble(&ok_to);
  request.axis.count = count_->text().trimmed().toInt(&ok_count);
  request.axis.log = log_->isChecked();
  if (!ok_from || !ok_to || !ok_count || request.axis.count < 1) {
    Say(QStringLiteral("The y axis needs numbers in \"from\" and \"to\" and a whole count of 1 or more."));
    return;
  }
  request.options.series.integrator = integrator_->currentText().toStdString();
  request.options.refine = refine_->value();
  run_.reset();
  try {
    run_ = std::make_unique<MapRun>(request);
  } catch (const std::exception& e) {
    Say(QString::fromStdString(e.what()));
    return;
  }
  cells_ = MapCells{};
  run_->Take(cells_);
  const MapLabels labels = MapLabelsOf(run_->Map(), request.scenario.test.value_or("0"),
                                       request.axis.log, false);
  canvas_->SetAxes({labels.xs, labels.ys, labels.y_log, QString::fromStdString(labels.x_label),
                    QString::fromStdString(labels.y_label)},
                   ColouringChosen());
  setWindowTitle(QStringLiteral("Outcome Map"));
  ShowCells();
  run_button_->setEnabled(false);
  stop_button_->setEnabled(true);
  save_button_->setEnabled(false);
  clock_.start();
  Drain();
  drain_timer_.start();
}

void Form4::StopMap() {
  if (Running()) run_->Stop();
}

void Form4::Drain() {
  if (!run_) return;
  const bool done = run_->Done();  // before the take: every cell of a done map comes with it
  if (run_->Take(cells_) > 0) cells_changed_ = true;
  if (cells_changed_) ShowCells();
  const std::int64_t total = run_->Map().rows() * run_->Map().columns();
  Say(QStringLiteral("%1 of %2 cells, %3 s%4")
          .arg(cells_.taken)
          .arg(total)
          .arg(static_cast<double>(clock_.elapsed()) / 1000, 0, 'f', 1)
          .arg(run_->Stopping() ? QStringLiteral(", stopping") : QString()));
  if (done) Finish();
}

void Form4::ShowCells() {
  cells_changed_ = false;
  if (cells_.grid.outcome.empty()) {
    canvas_->Clear();
    return;
  }
  canvas_->Show(cells_.grid, ColouringChosen());
}

// The map has ended: complete, stopped or failed. Whatever it gave is kept
// in the data folder.
void Form4::Finish() {
  drain_timer_.stop();
  run_button_->setEnabled(true);
  stop_button_->setEnabled(false);
  const auto& summary = run_->Summary();
  save_button_->setEnabled(summary.has_value());
  const std::int64_t total = run_->Map().rows() * run_->Map().columns();
  QString said = summary ? QStringLiteral("Complete: %1 cells in %2 s.")
                               .arg(cells_.taken)
                               .arg(static_cast<double>(clock_.elapsed()) / 1000, 0, 'f', 1)
                         : QStringLiteral("Stopped: %1 of %2 cells kept.").arg(cells_.taken).arg(total);
  if (!run_->Error().empty()) said = QString::fromStdString(run_->Error()) + ' ' + said;
  const std::size_t warnings = run_->Warnings().size();
  if (warnings > 0) said += QStringLiteral(" %1 warning(s): %2").arg(warnings).arg(
      QString::fromStdString(run_->Warnings().front()));
  if (cells_.taken > 0) {
    const MapRequest& r = run_->Request();
    const std::string refined = summary ? summary->refined : std::string();
    std::vector<KeptFile> files = {
        {QStringLiteral("map.csv"), QByteArray::fromStdString(cells_.csv)},
        {QStringLiteral("picture.png"),
         QByteArray::fromStdString(MapPngFile(cells_.grid, ColouringChosen(), refined))}};
    if (summary) {
      files.push_back({QStringLiteral("record.json"), QByteArray::fromStdString(summary->record_json)});
      files.push_back({QStringLiteral("map.svg"),
                       QByteArray::fromStdString(MapSvgFile(run_->Map(), cells_.grid, ColouringChosen(),
                                                            r.scenario.test.value_or("0"), r.axis.log,
                                                            refined))});
    }
    const QString title = QStringLiteral("map, scenario %1 by %2%3")
                              .arg(QString::fromStdString(r.scenario.test.value_or("0")),
                                   QString::fromStdString(run_->Map().y_column()),
                                   summary ? QString() : QStringLiteral(", stopped"));
    QString error;
    if (!KeepResult(title, true, files, &error)) said += ' ' + error;
    ListKept();
  }
  Say(said);
}

QString Form4::CellTip(std::int64_t cell) const {
  if (cell < 0 || cell >= static_cast<std::int64_t>(cells_.lines.size())) return {};
  const std::string& line = cells_.lines[static_cast<std::size_t>(cell)];
  if (line.empty()) return {};
  const QStringList names = QString::fromStdString(cells_.header).split(',');
  const QStringList values = QString::fromStdString(line).split(',');
  QString tip;
  for (qsizetype k = 0; k < names.size() && k < values.size(); ++k)
    tip += (k > 0 ? QStringLiteral("\n") : QString()) + names[k] + ": " + values[k];
  return tip;
}

bool Form4::SaveMap(const QString& csv_path, QString* error) const {
  if (!run_ || !run_->Summary()) {
    *error = QStringLiteral("Only a complete map can be saved.");
    return false;
  }
  const MapRequest& r = run_->Request();
  const QString stem = QFileInfo(csv_path).path() + '/' + QFileInfo(csv_path).completeBaseName();
  const MapColouring colouring = ColouringChosen();
  const bool ok =
      WriteBytes(csv_path, cells_.csv) &&
      WriteBytes(stem + ".svg", MapSvgFile(run_->Map(), cells_.grid, colouring,
                                           r.scenario.test.value_or("0"), r.axis.log,
                                           run_->Summary()->refined)) &&
      WriteBytes(stem + ".png", MapPngFile(cells_.grid, colouring, run_->Summary()->refined));
  if (!ok) *error = QStringLiteral("The map could not be saved as %1.").arg(csv_path);
  return ok;
}

void Form4::ReplayCell(std::int64_t cell) {
  if (!run_ || cell < 0 || cell >= static_cast<std::int64_t>(cells_.lines.size())) return;
  const encounter::Map& map = run_->Map();
  const auto y_index = static_cast<std::size_t>(cell / map.columns());
  const std::string angle = AngleText(map.angles()[static_cast<std::size_t>(cell % map.columns())]);
  form1_.Text1(11)->setText(QString::fromStdString(angle));
  form1_.Text1(12)->setText(QString::fromStdString(angle));
  const int y_field = FieldOfName(run_->Request().axis.field);
  form1_.Text1(y_field)->setText(QString::fromStdString(map.field_texts()[y_index]));
  // Start's own handler, once this click has returned: the series runs in
  // the Trajectory and Data Displays as if the user had pressed Start.
  QTimer::singleShot(0, form1_.Command(Button::CommandStart), &QPushButton::click);
}

// Lists the kept results anew when they have changed (a series kept while
// the window was in the background), keeping the choice otherwise.
void Form4::ListKept() {
  const std::vector<KeptResult> kept = KeptResultsList();
  bool same = static_cast<int>(kept.size()) == kept_list_->count();
  for (int k = 0; same && k < kept_list_->count(); ++k)
    same = kept_list_->item(k)->data(Qt::UserRole).toString() == kept[k].path;
  if (same) return;
  kept_list_->clear();
  for (const KeptResult& r : kept) {
    auto* item = new QListWidgetItem(r.title, kept_list_);
    item->setData(Qt::UserRole, r.path);
    item->setData(Qt::UserRole + 1, r.map);
    item->setToolTip(r.title + '\n' + r.path);
  }
}

void Form4::OpenKept(int row) {
  QListWidgetItem* item = kept_list_->item(row);
  if (item == nullptr) return;
  const QString path = item->data(Qt::UserRole).toString();
  const bool map = item->data(Qt::UserRole + 1).toBool();
  const QString csv = path + (map ? "/map.csv" : "/series.csv");
  if (!map) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(csv));
    return;
  }
  if (Running()) return;
  QFile file(csv);
  std::vector<double> ys, xs;
  std::string y_column;
  MapCells cells;
  if (!file.open(QIODevice::ReadOnly) ||
      !MapCellsOfCsv(file.readAll().toStdString(), &cells, &ys, &xs, &y_column)) {
    Say(QStringLiteral("%1 is not a map this window can show.").arg(csv));
    return;
  }
  run_.reset();  // a reopened map is shown, not replayed
  cells_ = std::move(cells);
  canvas_->SetAxes({xs, ys, false, QStringLiteral("start angle (degrees)"),
                    QString::fromStdString(y_column)},
                   ColouringChosen());
  ShowCells();
  save_button_->setEnabled(false);
  setWindowTitle(QStringLiteral("Outcome Map: ") + item->text());
  Say(QStringLiteral("Kept in %1").arg(path));
}

}  // namespace lab
