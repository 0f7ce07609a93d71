// The Control Display (Form1): fifteen parameter fields with their labels,
// the unit options "AU" and "km", and the buttons Start, Stop, Next and
// Clear, placed at their positions in twips.
#pragma once

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <array>

#include "port/display_port.h"
#include "ui/qt/field.h"
#include "ui/qt/twips.h"

class QAction;
class QCloseEvent;

namespace lab {

class Form1 : public QWidget {
  Q_OBJECT

 public:
  explicit Form1(QWidget* parent = nullptr);

  Field* Text1(int index) const { return text1_.at(index); }
  QLabel* Label1(int index) const { return label1_.at(index); }
  QRadioButton* Option1(int index) const { return option1_.at(index); }
  QButtonGroup* Option1Group() const { return units_; }
  QPushButton* Command(Button button) const { return buttons_.at(static_cast<int>(button)); }
  // Beside "t d fact": why the fields do not hold the scenario "test" names.
  QLabel* TestNote() const { return test_note_; }
  const TwipScale& Scale() const { return scale_; }
  // The window's context menu: opens the Outcome Map window.
  QAction* OutcomeMapAction() const { return outcome_map_; }

  // Sets the height of a field or label in twips; its position stays.
  void SetFieldHeight(int index, double twips);
  void SetLabelHeight(int index, double twips);

  // Once the program ends the window may close; until then a close from the
  // window frame is only reported.
  void AllowClose() { close_allowed_ = true; }

 signals:
  void closeRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  TwipScale scale_;
  std::array<Field*, kControlFields> text1_{};
  std::array<QLabel*, kControlFields> label1_{};
  std::array<QRadioButton*, 2> option1_{};
  QButtonGroup* units_ = nullptr;
  QLabel* test_note_ = nullptr;
  QAction* outcome_map_ = nullptr;
  std::array<QPushButton*, 4> buttons_{};  // indexed by Button
  bool close_allowed_ = false;
};

}  // namespace lab
