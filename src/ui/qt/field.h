// The single-line text field of the Control Display and the Data Display.
// The layout gives many fields a height of 200 twips (13 pixels at 96 dpi),
// too little for a styled frame and its padding: this field draws a one-pixel
// border of its own and gives the text everything inside it.
#pragma once

#include <QLineEdit>

class QPaintEvent;

namespace lab {

class Field : public QLineEdit {
  Q_OBJECT

 public:
  Field(const QString& text, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace lab
