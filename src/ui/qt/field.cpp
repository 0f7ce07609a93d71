#include "ui/qt/field.h"

#include <QFocusEvent>
#include <QPainter>

namespace lab {

namespace {
constexpr int kSlack = 10;  // pixels
}  // namespace

Field::Field(const QString& text, QWidget* parent) : QLineEdit(text, parent) {
  setFrame(false);
  setTextMargins(1, 1, 1, 1);  // room for the border
  // The design texts are short; typing goes on after them.
  setCursorPosition(static_cast<int>(this->text().size()));
  setToolTip(text);
  // Typed or written, the tool tip is the whole text.
  connect(this, &QLineEdit::textChanged, this, &Field::UpdateToolTip);
}

void Field::SetNote(const QString& note) {
  note_ = note;
  UpdateToolTip();
}

void Field::UpdateToolTip() {
  if (note_.isEmpty()) {
    setToolTip(text());
  } else {
    setToolTip(text().isEmpty() ? note_ : text() + QLatin1Char('\n') + note_);
  }
}

// setText leaves the cursor at the end, and a field scrolls to show its
// cursor: a text too wide for the field gets the cursor at its beginning.
void Field::ShowText(const QString& text) {
  setText(text);
  ShowBeginning();
}

// A text that fits looks the same wherever the cursor is; the margin is
// generous so that no text near the width shows its tail.
void Field::ShowBeginning() {
  const QMargins margins = textMargins();
  const int room = width() - margins.left() - margins.right() - kSlack;
  if (fontMetrics().horizontalAdvance(text()) > room) setCursorPosition(0);
}

// A field the user leaves shows its beginning again.
void Field::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (!hasSelectedText()) ShowBeginning();
}

void Field::paintEvent(QPaintEvent* event) {
  QLineEdit::paintEvent(event);
  QPainter p(this);
  p.setPen(palette().color(hasFocus() ? QPalette::Highlight : QPalette::Mid));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace lab
