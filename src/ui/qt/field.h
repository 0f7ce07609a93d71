// The single-line text field of the Control Display and the Data Display.
// The layout gives many fields a height of 200 twips (13 pixels at 96 dpi),
// too little for a styled frame and its padding: this field draws a one-pixel
// border of its own and gives the text everything inside it.
//
// A number wider than the field shows its beginning, where its leading digits
// are, and the whole text is the field's tool tip, followed by a note when the
// field has one (what a row of the Data Display holds, why a text is not used).
#pragma once

#include <QLineEdit>

class QFocusEvent;
class QPaintEvent;

namespace lab {

class Field : public QLineEdit {
  Q_OBJECT

 public:
  Field(const QString& text, QWidget* parent);

  // A text written by the program: shown from its first character.
  void ShowText(const QString& text);

  // A note shown in the tool tip under the text; empty for none.
  void SetNote(const QString& note);
  const QString& Note() const { return note_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void ShowBeginning();
  void UpdateToolTip();

  QString note_;
};

}  // namespace lab
