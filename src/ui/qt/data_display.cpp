#include "ui/qt/data_display.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>

#include <cctype>
#include <string>
#include <vector>

#include "records/columns.h"
#include "ui/qt/field.h"
#include "ui/qt/program_identity.h"
#include "ui/qt/window_font.h"

namespace lab {

namespace {

// Client size of the window (twips).
constexpr double kClientWidth = 7020;
constexpr double kClientHeight = 1950;

constexpr double kRowTops[3] = {360, 840, 1320};
constexpr double kFieldLefts[kResultColumns] = {120, 1080, 2040, 3000, 3960, 5040, 6000};
constexpr double kFieldHeight = 375;
// Column 4 holds the escape speed and is wider than the others.
constexpr double FieldWidth(int column) { return column == 4 ? 975 : 855; }

struct Heading {
  const char* caption;
  double left, width;
  const char* note;  // what the window adds to the column's meaning in its tool tip
};

// Row 1's fields are the CSV's fixed columns of numbers, in their order (the
// heading of vesc is a column of its own); each heading's tool tip is that
// column's meaning and unit.
constexpr Heading kHeadings[kResultColumns] = {
    {"Alpha", 120, 855, nullptr},
    {"V #1", 1200, 495, nullptr},
    {"V #2", 2040, 735, nullptr},
    {"V #3", 3000, 735,
     "Light red in rows 0 and 1 when body 3 is faster than its escape speed from bodies 1 "
     "and 2; in row 2 when the ratio that chose the row is above 1"},
    {"Vesc", 4080, 495,
     "Vesc #1: of body 1 from body 3, Vesc #2: of body 2 from body 3, Vesc #3: of body 3 "
     "from bodies 1 and 2 (from body 1 alone around a central mass)"},
    {"r #3", 5040, 735, "In the unit the unit option shows"},
    {"r min", 6120, 735, nullptr},
};

// The tool tip of heading c: the meaning of its column, its unit, the note.
QString HeadingTip(int c) {
  std::vector<const Column*> shown;
  for (const Column& column : Columns())
    if (column.group == ColumnGroup::kFixed && column.type == ColumnType::kReal)
      shown.push_back(&column);
  const Column& column = *shown.at(static_cast<std::size_t>(c));
  std::string tip = column.meaning;
  tip[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(tip[0])));
  const std::string unit = UnitDescription(column.unit);
  if (!unit.empty()) tip += " (" + unit + ")";
  if (kHeadings[c].note) tip += std::string(". ") + kHeadings[c].note;
  return QString::fromStdString(tip);
}

// What each row holds, in the tool tips of its fields.
constexpr const char* kRowMeanings[3] = {
    "Row 0: the running test, brought up to date about once a second",
    "Row 1: the last finished test",
    "Row 2: the best test of the series so far, the one with the smallest ratio of a speed "
    "to the escape speed shown (Vesc). The speed is that of body 1, or of body 2 when body "
    "2's speed over its own escape speed from body 3 is the larger (around a central mass "
    "always body 1's). Only tests in which body 3 ended outside the absorption distance "
    "count.",
};
constexpr double kHeadingTop = 120;
constexpr double kHeadingHeight = 255;

}  // namespace

Form3::Form3(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(QStringLiteral("Data Display"));
  setFont(WindowFont());
  setWindowIcon(ProgramIcon());
  scale_ = TwipScaleOf(*this);
  resize(PixelsAcross(kClientWidth, scale_), PixelsDown(kClientHeight, scale_));

  for (int c = 0; c < kResultColumns; ++c) {
    const Heading& h = kHeadings[c];
    auto* label = new QLabel(QString::fromLatin1(h.caption), this);
    label->setObjectName(QStringLiteral("Label1_%1").arg(c));
    label->setGeometry(RectFromTwips(h.left, kHeadingTop, h.width, kHeadingHeight, scale_));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setToolTip(HeadingTip(c));
    label1_[c] = label;
  }

  for (int i = 0; i < kResultFields; ++i) {
    const int row = i / kResultColumns;
    const int column = i % kResultColumns;
    auto* field = new Field(QStringLiteral("Text1"), this);
    field->setGeometry(RectFromTwips(kFieldLefts[column], kRowTops[row], FieldWidth(column),
                                     kFieldHeight, scale_));
    field->setObjectName(QStringLiteral("Text1_%1").arg(i));
    field->SetNote(QString::fromUtf8(kRowMeanings[row]));
    // A right click anywhere on the window offers the series.
    field->setContextMenuPolicy(Qt::NoContextMenu);
    text1_[i] = field;
  }

  // The keyboard runs from the last field back to the first.
  for (int i = kResultFields - 1; i > 0; --i) QWidget::setTabOrder(text1_[i], text1_[i - 1]);
  text1_[kResultFields - 1]->setFocus();

  save_series_ = new QAction(QStringLiteral("Save series as CSV…"), this);
  save_series_->setShortcut(QKeySequence::Save);
  save_series_->setShortcutContext(Qt::WindowShortcut);
  copy_series_ = new QAction(QStringLiteral("Copy series"), this);
  outcome_map_ = new QAction(QStringLiteral("Outcome Map…"), this);
  addAction(save_series_);
  addAction(copy_series_);
  addAction(outcome_map_);
  menu_ = new QMenu(this);
  menu_->addAction(save_series_);
  menu_->addAction(copy_series_);
  menu_->addSeparator();
  menu_->addAction(outcome_map_);
}

// Not modal: the series goes on while the menu is open.
void Form3::contextMenuEvent(QContextMenuEvent* event) { menu_->popup(event->globalPos()); }

}  // namespace lab
