// The Data Display (Form3): three rows of seven result fields under the
// column headings. Row 0 is the running test, row 1 the last finished test,
// row 2 the best test of the series. Its context menu (and Ctrl+S) keeps
// the whole series: every finished test of it, saved or copied as CSV; it
// also opens the Outcome Map window.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <array>

#include "port/display_port.h"
#include "ui/qt/field.h"
#include "ui/qt/twips.h"

class QAction;
class QContextMenuEvent;
class QMenu;

namespace lab {

class Form3 : public QWidget {
  Q_OBJECT

 public:
  explicit Form3(QWidget* parent = nullptr);

  // Field index = row * 7 + column.
  Field* Text1(int index) const { return text1_.at(index); }
  QLabel* Label1(int column) const { return label1_.at(column); }

  // "Save series as CSV…" (also Ctrl+S) and "Copy series".
  QAction* SaveSeriesAction() const { return save_series_; }
  QAction* CopySeriesAction() const { return copy_series_; }
  // Opens the Outcome Map window.
  QAction* OutcomeMapAction() const { return outcome_map_; }

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  TwipScale scale_;
  std::array<Field*, kResultFields> text1_{};
  std::array<QLabel*, kResultColumns> label1_{};
  QAction* save_series_ = nullptr;
  QAction* copy_series_ = nullptr;
  QAction* outcome_map_ = nullptr;
  QMenu* menu_ = nullptr;
};

}  // namespace lab
