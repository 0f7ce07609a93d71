// The Data Display (Form3): three rows of seven result fields under the
// column headings. Row 0 is the running test, row 1 the last finished test,
// row 2 the best test of the series.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <array>

#include "ui/display_port.h"
#include "ui/qt/twips.h"

namespace lab {

class Form3 : public QWidget {
  Q_OBJECT

 public:
  explicit Form3(QWidget* parent = nullptr);

  // Field index = row * 7 + column.
  QLineEdit* Text1(int index) const { return text1_.at(index); }
  QLabel* Label1(int column) const { return label1_.at(column); }

 private:
  TwipScale scale_;
  std::array<QLineEdit*, kResultFields> text1_{};
  std::array<QLabel*, kResultColumns> label1_{};
};

}  // namespace lab
