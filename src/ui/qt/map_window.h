// The Outcome Map window: the outcome of the encounter over the start angle
// and one more field at once. Its own fields give the y axis (the field,
// from, to, count, log spacing), the integrator and the refinement; the
// scenario and the angles are the Control Display's as they stand. The map
// runs on the engine's threads while every window stays live; its cells
// fill in as their tests finish. Pointing at a cell shows its row; a click
// runs that one test in the Trajectory and Data Displays. The window also
// lists the results kept in the data folder and opens them.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "ui/qt/map_canvas.h"
#include "ui/qt/map_run.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace lab {

class Form1;
class QtPort;

class Form4 : public QWidget {
  Q_OBJECT

 public:
  Form4(Form1& form1, QtPort& port, QWidget* parent = nullptr);
  ~Form4() override;

  // Shows the window in front, the kept results listed anew.
  void Open();

  QComboBox* YField() const { return y_field_; }
  QLineEdit* From() const { return from_; }
  QLineEdit* To() const { return to_; }
  QLineEdit* Count() const { return count_; }
  QCheckBox* Log() const { return log_; }
  QComboBox* Integrator() const { return integrator_; }
  QSpinBox* Refine() const { return refine_; }
  QComboBox* Colouring() const { return colouring_; }
  QPushButton* RunButton() const { return run_button_; }
  QPushButton* StopButton() const { return stop_button_; }
  QPushButton* SaveButton() const { return save_button_; }
  QLabel* ProgressLine() const { return progress_; }
  MapCanvas* Canvas() const { return canvas_; }
  QListWidget* KeptList() const { return kept_list_; }

  // What the window shows: the cells taken so far.
  const MapCells& Cells() const { return cells_; }
  bool Running() const { return run_ && !run_->Done(); }
  // The map running or last run; none for a reopened map.
  const MapRun* Run() const { return run_.get(); }
  // The row of a cell as its tool tip shows it; empty for a missing cell.
  QString CellTip(std::int64_t cell) const;

  // Runs the map the fields give (as the Run button does).
  void RunMap();
  void StopMap();
  // Writes the CSV, and beside it the SVG and the PNG of the same name.
  bool SaveMap(const QString& csv_path, QString* error) const;
  // Types the cell's angle and y value into the Control Display and presses
  // Start there.
  void ReplayCell(std::int64_t cell);
  // Opens a kept result: a map into this window, a series with the
  // desktop's application for CSV files.
  void OpenKept(int row);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void BuildFields();
  void WireEvents();
  void Drain();
  void Finish();
  void ShowCells();
  void ListKept();
  void Say(const QString& text);
  MapColouring ColouringChosen() const;

  Form1& form1_;
  QtPort& port_;
  QComboBox* y_field_ = nullptr;
  QLineEdit *from_ = nullptr, *to_ = nullptr, *count_ = nullptr;
  QCheckBox* log_ = nullptr;
  QComboBox* integrator_ = nullptr;
  QSpinBox* refine_ = nullptr;
  QComboBox* colouring_ = nullptr;
  QPushButton *run_button_ = nullptr, *stop_button_ = nullptr, *save_button_ = nullptr;
  QPushButton* open_button_ = nullptr;
  QLabel* progress_ = nullptr;
  MapCanvas* canvas_ = nullptr;
  QListWidget* kept_list_ = nullptr;

  std::unique_ptr<MapRun> run_;
  MapCells cells_;
  bool cells_changed_ = false;
  QTimer drain_timer_;  // takes the cells that have come, about ten times a second
  QElapsedTimer clock_;
};

}  // namespace lab
