#include "ui/qt/control_display.h"

#include <QAction>
#include <QCloseEvent>
#include <algorithm>
#include <utility>
#include <vector>

#include "ui/qt/field.h"
#include "ui/qt/program_identity.h"
#include "ui/qt/window_font.h"

namespace lab {

namespace {

// Client size of the window (twips).
constexpr double kClientWidth = 5430;
constexpr double kClientHeight = 1995;

constexpr double kFieldWidth = 855;
constexpr double kFieldHeight = 375;

struct FieldRow {
  const char* caption;
  double label_left, label_top, label_width, label_height;
  double field_left, field_top;
  const char* design_text;
  int tab;  // place in the keyboard order
};

// Fields 10 to 14 lie below the client height: the user enlarges the window
// to reach them.
constexpr FieldRow kFields[kControlFields] = {
    {"m1", 240, 120, 495, 255, 840, 120, "1", 11},
    {"m2", 1920, 120, 495, 255, 2520, 120, "1", 13},
    {"m3", 3720, 120, 495, 255, 4440, 120, "0.001", 15},
    {"dist 1", 120, 600, 495, 255, 600, 600, "1 AU", 20},
    {"dist 2", 1560, 600, 495, 255, 2040, 600, "0.001", 21},
    {"t delta", 3720, 600, 495, 255, 4440, 600, " ", 22},
    {"n stars", 3720, 1080, 495, 255, 4440, 1080, "", 23},
    {"cond", 120, 1560, 615, 255, 840, 1560, " ", 24},
    {"v limit", 1920, 1560, 495, 255, 2520, 1560, "", 25},
    {"r limit", 3720, 1560, 495, 255, 4440, 1560, " ", 26},
    {"test", 120, 2040, 495, 255, 840, 2040, "0", 27},
    {"start", 1920, 2520, 495, 255, 2520, 2520, " ", 28},
    {"end", 3720, 2520, 495, 255, 4440, 2520, " ", 29},
    {"t d fact", 1920, 2040, 495, 255, 2520, 2040, "0", 30},
    {"d alpha", 120, 2520, 735, 255, 840, 2520, " ", 32},
};

struct Control {
  const char* caption;
  double left, top, width, height;
  int tab;
};

constexpr Control kOptions[2] = {
    {"AU", 3000, 480, 615, 375, 34},
    {"km", 3000, 720, 615, 375, 35},
};

// Indexed by Button.
constexpr Control kButtons[4] = {
    {"Start", 120, 1080, 855, 375, 0},
    {"Stop", 1080, 1080, 735, 375, 2},
    {"Next", 1920, 1080, 735, 375, 6},
    {"Clear", 2760, 1080, 735, 375, 9},
};

// The note about the field "test", right of "t d fact", two lines high.
constexpr double kNoteLeft = 3480, kNoteTop = 2040, kNoteWidth = 1860, kNoteHeight = 375;

constexpr const char* kButtonNames[4] = {"CommandStart", "CommandStop", "CommandNext",
                                         "CommandClear"};

}  // namespace

Form1::Form1(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Control Display"));
  setFont(WindowFont());
  setWindowIcon(ProgramIcon());
  scale_ = TwipScaleOf(*this);
  resize(PixelsAcross(kClientWidth, scale_), PixelsDown(kClientHeight, scale_));

  // Every control with its place in the keyboard order.
  std::vector<std::pair<int, QWidget*>> tab_order;

  for (int b = 0; b < 4; ++b) {
    const Control& c = kButtons[b];
    auto* button = new QPushButton(QString::fromLatin1(c.caption), this);
    button->setObjectName(QString::fromLatin1(kButtonNames[b]));
    button->setGeometry(RectFromTwips(c.left, c.top, c.width, c.height, scale_));
    buttons_[b] = button;
    tab_order.emplace_back(c.tab, button);
  }

  for (int i = 0; i < kControlFields; ++i) {
    const FieldRow& f = kFields[i];
    auto* label = new QLabel(QString::fromLatin1(f.caption), this);
    label->setObjectName(QStringLiteral("Label1_%1").arg(i));
    label->setGeometry(
        RectFromTwips(f.label_left, f.label_top, f.label_width, f.label_height, scale_));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label1_[i] = label;

    auto* field = new Field(QString::fromLatin1(f.design_text), this);
    field->setGeometry(
        RectFromTwips(f.field_left, f.field_top, kFieldWidth, kFieldHeight, scale_));
    field->setObjectName(QStringLiteral("Text1_%1").arg(i));
    text1_[i] = field;
    tab_order.emplace_back(f.tab, field);
  }

  units_ = new QButtonGroup(this);
  units_->setExclusive(true);
  for (int k = 0; k < 2; ++k) {
    const Control& c = kOptions[k];
    auto* option = new QRadioButton(QString::fromLatin1(c.caption), this);
    option->setObjectName(QStringLiteral("Option1_%1").arg(k));
    option->setGeometry(RectFromTwips(c.left, c.top, c.width, c.height, scale_));
    units_->addButton(option, k);
    option1_[k] = option;
    tab_order.emplace_back(c.tab, option);
  }
  option1_[1]->setChecked(true);

  test_note_ = new QLabel(this);
  test_note_->setObjectName(QStringLiteral("TestNote"));
  test_note_->setGeometry(RectFromTwips(kNoteLeft, kNoteTop, kNoteWidth, kNoteHeight, scale_));
  test_note_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  test_note_->setWordWrap(true);
  QPalette note_palette = test_note_->palette();
  note_palette.setColor(QPalette::WindowText, QColor(160, 0, 0));
  test_note_->setPalette(note_palette);

  std::sort(tab_order.begin(), tab_order.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t k = 0; k + 1 < tab_order.size(); ++k)
    QWidget::setTabOrder(tab_order[k].second, tab_order[k + 1].second);
  buttons_[static_cast<int>(Button::CommandStart)]->setFocus();

  // A right click beside the fields opens the Outcome Map window.
  outcome_map_ = new QAction(QStringLiteral("Outcome Map…"), this);
  addAction(outcome_map_);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void Form1::SetFieldHeight(int index, double twips) {
  QLineEdit* field = text1_.at(index);
  field->resize(field->width(), PixelsDown(twips, scale_));
}

void Form1::SetLabelHeight(int index, double twips) {
  QLabel* label = label1_.at(index);
  label->resize(label->width(), PixelsDown(twips, scale_));
}

// Closing this window ends the program. Inside a running series the end
// reaches the top later, and the window closes then.
void Form1::closeEvent(QCloseEvent* event) {
  if (!close_allowed_) emit closeRequested();
  if (close_allowed_) {
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace lab
