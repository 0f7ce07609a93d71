#include "ui/qt/field.h"

#include <QPainter>

namespace lab {

Field::Field(const QString& text, QWidget* parent) : QLineEdit(text, parent) {
  setFrame(false);
  setTextMargins(1, 1, 1, 1);  // room for the border
  setCursorPosition(static_cast<int>(this->text().size()));
}

void Field::paintEvent(QPaintEvent* event) {
  QLineEdit::paintEvent(event);
  QPainter p(this);
  p.setPen(palette().color(hasFocus() ? QPalette::Highlight : QPalette::Mid));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace lab
