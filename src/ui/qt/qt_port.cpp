#include "ui/qt/qt_port.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <cstdio>
#include <ctime>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "port/control_flow.h"
#include "series/run_series.h"
#include "setup/number_text.h"
#include "setup/presets.h"
#include "control/handlers.h"
#include "ui/qt/program_identity.h"
#include "ui/qt/start_checks.h"
#include "ui/qt/window_font.h"
#include "ui/qt/window_layout.h"

namespace lab {

namespace {

// The heights ArrangeWindows gives the first rows of the Control Display.
constexpr double kCompactHeight = 200;
constexpr int kLastCompactField = 10;
constexpr int kLastCompactLabel = 11;
// Gap between the Control Display and the Trajectory Display below it.
constexpr float kArrangeGap = 100;

// How long a window placed by the window manager may take to settle, and how
// long its frame must stay unchanged to count as settled.
constexpr qint64 kPlacingLimitMs = 3000;
constexpr qint64 kSettledMs = 150;
// Gap between the Control Display and a message box beside it (pixels).
constexpr int kBoxGap = 8;
// A window manager's frame around a box not yet shown, as a guess (pixels).
constexpr int kGuessedFrame = 32;

QRgb RgbOf(ColourNumber c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)); }

#if defined(__x86_64__)
__attribute__((target("avx"))) void ZeroUpperAvx() { _mm256_zeroupper(); }
#endif

// Every operation that calls into Qt from the logic leaves through this.
struct AfterQt {
  AfterQt() = default;
  AfterQt(const AfterQt&) = delete;
  AfterQt& operator=(const AfterQt&) = delete;
  ~AfterQt() { ClearUpperVectorState(); }
};

}  // namespace

// Code of the window system may return with the upper halves of the wide
// vector registers in use. Until they are cleared, every SSE instruction of
// the integrator pays a penalty: measured, the run loop fell to 55% of its
// headless speed. Only processors with AVX have such registers.
void ClearUpperVectorState() {
#if defined(__x86_64__)
  static const bool has_avx = __builtin_cpu_supports("avx");
  if (has_avx) ZeroUpperAvx();
#endif
}

QtPort::QtPort(SimState& s, Form1& form1, Form2& form2, Form3& form3)
    : s_(s),
      form1_(form1),
      form2_(form2),
      form3_(form3),
      kept_(form2, form3, [this](const QString& text) { ShowBox(text, false); }) {
  WireEvents();
}

// Shown before the start-up handler runs, so that ArrangeWindows reads the
// Control Display's place and outer size, frame included. No user event is
// handled before Form_Load: those wait for the event loop.
void QtPort::StartUp() {
  if (remember_layout_) RestoreWindow(form1_, LayoutWindow::kControl);
  form1_.show();
  RunHandler([this] {
    WaitUntilPlaced(form1_);
    Form_Load(s_, *this);
    // Where the user left them, rather than where ArrangeWindows puts them.
    if (remember_layout_) {
      RestoreWindow(form2_, LayoutWindow::kTrajectory);
      RestoreWindow(form3_, LayoutWindow::kData);
    }
  });
}

// A window manager places and frames a window some time after it is shown;
// until then its frame geometry is the bare client area at the place the
// program asked for. Runs the events other than the user's until the window
// is on the screen and its frame has stayed the same for a moment (within a
// limit). The offscreen platform has no window manager and nothing to wait for.
void QtPort::WaitUntilPlaced(QWidget& window) {
  if (QGuiApplication::platformName() == QLatin1String("offscreen")) return;
  QElapsedTimer clock;
  clock.start();
  QRect frame = window.frameGeometry();
  qint64 unchanged_since = 0;
  while (clock.elapsed() < kPlacingLimitMs) {
    RunEvents(QEventLoop::ExcludeUserInputEvents);
    const QRect now = window.frameGeometry();
    const bool exposed = window.windowHandle() != nullptr && window.windowHandle()->isExposed();
    if (now != frame || !exposed) {
      frame = now;
      unchanged_since = clock.elapsed();
    }
    if (clock.elapsed() - unchanged_since >= kSettledMs) break;
    QThread::msleep(5);
  }
}

QtPort::~QtPort() {
  for (const QMetaObject::Connection& c : connections_) QObject::disconnect(c);
}

// Every window event that reaches the logic, in one place.
void QtPort::WireEvents() {
  for (Button b : {Button::CommandStart, Button::CommandStop, Button::CommandNext,
                   Button::CommandClear}) {
    connections_.push_back(QObject::connect(form1_.Command(b), &QPushButton::clicked, [this, b] {
      RunHandler([this, b] {
        if (b == Button::CommandStart && !StartAllowed()) return;
        ClickButton(s_, *this, b);
      });
    }));
  }
  for (int i = 0; i < kControlFields; ++i) {
    connections_.push_back(
        QObject::connect(form1_.Text1(i), &QLineEdit::textChanged, [this, i] {
          // A write of the program raises the event itself, in SetFieldText.
          if (setting_field_ > 0) return;
          typed_[i] = true;
          RunHandler([this, i] { Text1_Change(s_, *this, i); });
          if (i == 10 && !ended_) UpdateTestNote();
        }));
  }
  connections_.push_back(QObject::connect(&form1_, &Form1::closeRequested, [this] {
    RunHandler([this] { EndProgram(); });
  }));
}

void QtPort::RunHandler(const std::function<void()>& handler) {
  if (ended_) return;
  const bool in_events = event_depth_ > 0;
  // The program is already on its way out of this round of events.
  if (in_events && pending_kind_ >= Pending::kProgramEnded) return;
  try {
    handler();
  } catch (const ProgramEnded&) {
    if (in_events) {
      Keep(Pending::kProgramEnded, std::current_exception());
    } else {
      EndAtTop(0);
    }
  } catch (const SeriesReplaced&) {
    // At the top no series runs that a new one could replace.
    if (in_events) Keep(Pending::kSeriesReplaced, std::current_exception());
  } catch (...) {
    if (in_events) {
      Keep(Pending::kFatal, std::current_exception());
      return;
    }
    std::string what = "unknown error";
    try {
      throw;
    } catch (const std::exception& e) {
      what = e.what();
    } catch (...) {
    }
    if (what.empty()) what = "unknown error";
    std::fprintf(stderr, "encounter: %s\n", what.c_str());
    EndAtTop(1, QString::fromStdString(what));
  }
}

void QtPort::Keep(Pending kind, std::exception_ptr e) {
  if (kind <= pending_kind_) return;
  pending_kind_ = kind;
  pending_ = std::move(e);
}

// A fatal error is told in a box as well as on standard error: a user at the
// desktop sees no terminal. The windows are gone by then, so the box's own
// event loop can run no handler.
void QtPort::EndAtTop(int exit_code, const QString& fatal) {
  if (!ended_ && remember_layout_) KeepLayout();
  ended_ = true;
  exit_code_ = exit_code;
  form1_.AllowClose();
  if (message_box_) message_box_->close();
  form3_.close();
  form2_.close();
  form1_.close();
  if (!fatal.isEmpty()) {
    QMessageBox box(QMessageBox::Critical, ProgramTitle(),
                    QStringLiteral("The program met an error it cannot recover from and ends."),
                    QMessageBox::Ok);
    box.setObjectName(QStringLiteral("FatalError"));
    box.setInformativeText(fatal);
    box.setFont(WindowFont());
    box.setWindowIcon(ProgramIcon());
    box.exec();
  }
  QCoreApplication::exit(exit_code);
}

// Runs the window events; what a handler threw is thrown again here, into
// the logic that yielded.
void QtPort::RunEvents(QEventLoop::ProcessEventsFlags flags) {
  form2_.RepaintIfDirty();
  RefreshAdvice();
  Pending outer_kind = std::exchange(pending_kind_, Pending::kNone);
  std::exception_ptr outer = std::exchange(pending_, nullptr);
  ++event_depth_;
  QCoreApplication::processEvents(flags);
  --event_depth_;
  ClearUpperVectorState();
  last_events_ = std::chrono::steady_clock::now();
  const Pending kind = std::exchange(pending_kind_, outer_kind);
  std::exception_ptr thrown = std::exchange(pending_, std::move(outer));
  if (kind != Pending::kNone) std::rethrow_exception(thrown);
}

// Called once or twice per integration step: almost always it returns at
// once, and only about every 10 ms does it let the windows run.
void QtPort::YieldEvents() {
  if (++yield_count_ < kClockStride) return;
  yield_count_ = 0;
  if (std::chrono::steady_clock::now() - last_events_ < kEventInterval) return;
  RunEvents(QEventLoop::AllEvents);
}

// Sleeps in the window system until something happens. A series that has
// run to its end is kept in the data folder before the program first waits,
// so that the Stop that then ends the program loses nothing.
void QtPort::WaitEvents() {
  if (s_.runstate == 1 && !(s_.alpha0 <= s_.alphaend)) {
    QString error;
    if (!kept_.KeepFinishedSeries(&error)) ShowBox(error, false);
  }
  RunEvents(QEventLoop::WaitForMoreEvents);
}

void QtPort::EndProgram() { throw ProgramEnded{}; }

// Whole seconds of the wall clock; time() reads a coarse clock, cheaper than
// a full clock reading in a display step.
std::int64_t QtPort::TimeOfDay() { return static_cast<std::int64_t>(std::time(nullptr)); }

// Called at the start of every series: an old message no longer applies, and
// the kept series begins afresh. The first test reads the Trajectory
// Display's outer size, so its frame has to be known by then.
void QtPort::ShowResultWindows() {
  const AfterQt after_qt;
  if (message_box_) message_box_->close();
  // What Start found in the fields, told now that the series has begun.
  if (!start_warnings_.empty()) ShowMessage(std::exchange(start_warnings_, std::string()));
  caveat_told_ = false;
  kept_.NewSeries(start_scenario_);
  const bool placing = !form2_.isVisible();
  if (!form2_.isVisible()) form2_.show();
  if (!form3_.isVisible()) form3_.show();
  if (placing) WaitUntilPlaced(form2_);
}

void QtPort::ClearTrajectory() {
  const AfterQt after_qt;
  form2_.ClearImage();
}

void QtPort::PlotPoint(float x, float y, ColourNumber colour) {
  const TwipScale& scale = form2_.Scale();
  form2_.SetPixel(PixelIndex(x, scale.x), PixelIndex(y, scale.y), RgbOf(colour));
}

TrajectorySize QtPort::GetTrajectorySize() {
  const AfterQt after_qt;
  const TwipScale& scale = form2_.Scale();
  const QRect outer = form2_.frameGeometry();
  return {TwipsAcross(outer.width(), scale), TwipsDown(outer.height(), scale)};
}

std::string QtPort::GetFieldText(int index) {
  const AfterQt after_qt;
  return form1_.Text1(index)->text().toStdString();
}

void QtPort::SetFieldText(int index, const std::string& text) {
  const AfterQt after_qt;
  Field* field = form1_.Text1(index);
  const QString new_text = QString::fromStdString(text);
  if (field->text() == new_text) return;  // a field reports real changes only
  ++setting_field_;
  field->ShowText(new_text);
  --setting_field_;
  typed_[index] = false;
  // Raised here rather than from the field's signal, so that the handler
  // runs to completion and anything it throws reaches the caller directly.
  Text1_Change(s_, *this, index);
}

bool QtPort::GetUnitOption() {
  const AfterQt after_qt;
  return form1_.Option1(0)->isChecked();
}

void QtPort::SetUnitOption(bool au) {
  const AfterQt after_qt;
  QRadioButton* option_au = form1_.Option1(0);
  if (au) {
    option_au->setChecked(true);
  } else if (option_au->isChecked()) {
    // An exclusive group never lets its checked button go: leave neither
    // option selected by lifting the exclusion for a moment.
    QButtonGroup* group = form1_.Option1Group();
    group->setExclusive(false);
    option_au->setChecked(false);
    group->setExclusive(true);
  }
}

// Field 0 is written when a test begins: a result window the user closed
// comes back then, rather than only at the next Start.
void QtPort::SetResultText(int index, const std::string& text) {
  const AfterQt after_qt;
  form3_.Text1(index)->ShowText(QString::fromStdString(text));
  kept_.ResultText(index, text, v3_colour_ == s_.clightred, vesc_heading_);
  if (index == 0 && !text.empty() && (!form2_.isVisible() || !form3_.isVisible())) {
    form2_.show();
    form3_.show();
  }
}

void QtPort::TestFinished(const TestSummary& summary) {
  if (kept_.Tests() == 0) {
    std::array<std::string, kControlFields> fields;
    for (int i = 0; i < kControlFields; ++i) fields[i] = GetFieldText(i);
    // The set-up is the test's own from its start to its end.
    kept_.FirstTestFields(fields, GetUnitOption(), SetUpOfState(s_));
  }
  kept_.TestFinished(summary);
  // The first test of a series that leaves Newtonian gravity is told, in the
  // batch runner's words; its row stays as the model gives it.
  if (!caveat_told_ && summary.results) {
    const std::string caveat = SpeedCaveat(NumberText(summary.alpha), {s_.v[0], s_.v[1], s_.v[2]},
                                           {s_.m[0] > 0, s_.m[1] > 0, s_.m[2] > 0});
    if (!caveat.empty()) {
      caveat_told_ = true;
      // Below a message still shown (what Start found in the fields), not over it.
      const bool shown = message_box_ && message_box_->isVisible() && !last_message_.empty();
      ShowMessage(shown ? last_message_ + "\n\n" + caveat : caveat);
    }
  }
}

encounter::Scenario QtPort::FieldsScenario() { return ScenarioOfFields(*this, typed_); }

void QtPort::SetResultColour(int index, ColourNumber colour) {
  const AfterQt after_qt;
  if (index == 10) v3_colour_ = colour;
  QLineEdit* field = form3_.Text1(index);
  QPalette palette = field->palette();
  palette.setColor(QPalette::Text, QColor::fromRgb(RgbOf(colour)));
  field->setPalette(palette);
}

void QtPort::SetResultHeading(int index, const std::string& text) {
  const AfterQt after_qt;
  if (index == 4) vesc_heading_ = text;
  form3_.Label1(index)->setText(QString::fromStdString(text));
}

void QtPort::SetButtonCaption(Button button, const std::string& caption) {
  const AfterQt after_qt;
  form1_.Command(button)->setText(QString::fromStdString(caption));
}

void QtPort::ArrangeWindows() {
  const AfterQt after_qt;
  const TwipScale& scale = form1_.Scale();
  const QRect control = form1_.frameGeometry();
  const float left = TwipsAcross(control.x(), scale);
  const float top = TwipsDown(control.y(), scale);
  const float height = TwipsDown(control.height(), scale);
  // Under the Control Display, left edges aligned.
  form2_.move(PixelsAcross(left, scale), PixelsDown((height + top) + kArrangeGap, scale));
  for (int i = 0; i <= kLastCompactField; ++i) form1_.SetFieldHeight(i, kCompactHeight);
  for (int i = 0; i <= kLastCompactLabel; ++i) form1_.SetLabelHeight(i, kCompactHeight);
}

QMessageBox* QtPort::MessageBox() const { return message_box_; }

// Start is checked as the batch runner checks its options: a series that
// would not end, or a number that is not finite, is not begun; what Start
// does not do as the typed texts say is told once the series runs.
bool QtPort::StartAllowed() {
  StartCheck check = CheckStart(s_, *this, typed_);
  if (!check.refusal.empty()) {
    ShowMessage(check.refusal);
    return false;
  }
  start_warnings_.clear();
  start_scenario_ = ScenarioOfFields(*this, typed_);
  for (const std::string& w : check.warnings)
    start_warnings_ += (start_warnings_.empty() ? "" : "\n") + w;
  return true;
}

// A number in "test" that names no scenario loads nothing, and the fields
// keep the scenario of an earlier key stroke: the note beside the field and
// its tool tip say which.
void QtPort::UpdateTestNote() {
  if (IsPreset(s_.testno)) loaded_scenario_ = s_.testno;
  const QString note = QString::fromStdString(TestFieldNote(s_.testno, loaded_scenario_));
  form1_.TestNote()->setText(note);
  form1_.Text1(10)->SetNote(note);
}

void QtPort::KeepLayout() {
  KeepWindow(form1_, LayoutWindow::kControl);
  KeepWindow(form2_, LayoutWindow::kTrajectory);
  KeepWindow(form3_, LayoutWindow::kData);
}

void QtPort::ShowMessage(const std::string& text) {
  const AfterQt after_qt;
  last_message_ = text;
  ShowBox(QString::fromStdString(text), true);
}

// One box, not modal: the run loop goes on while it is shown. It carries the
// program's name, since every window already has its own caption.
void QtPort::ShowBox(const QString& text, bool advise) {
  if (!message_box_) {
    message_box_ = new QMessageBox(QMessageBox::Information, ProgramTitle(), QString(),
                                   QMessageBox::Ok, &form1_);
    message_box_->setObjectName(QStringLiteral("Message"));
    message_box_->setModal(false);
    message_box_->setWindowModality(Qt::NonModal);
    message_box_->setFont(WindowFont());
    message_box_->setWindowIcon(ProgramIcon());
  }
  message_box_->setText(text);
  box_advises_ = advise;
  advised_runstate_ = s_.runstate;
  message_box_->setInformativeText(advise ? Advice(s_.runstate) : QString());
  PlaceMessageBox();
  message_box_->show();
  message_box_->raise();
}

// What to do after a message of the logic, and what Stop will do: that
// depends on whether a series runs, so the advice follows the run state.
QString QtPort::Advice(int runstate) {
  switch (runstate) {
    case -1:
      return QStringLiteral("Correct the field named above, then press Start. "
                            "Stop now ends the program.");
    case 0:
      return QStringLiteral("The series goes on. Correct the fields before the next Start. "
                            "Stop halts the series; pressed again (\"Cancel\") it ends the program.");
    case 1:
      return QStringLiteral("The series stands still. Correct the field named above and press "
                            "Start to run the series again. Stop now ends the program.");
    default:
      return QStringLiteral("The program ends when the series next waits.");
  }
}

void QtPort::RefreshAdvice() {
  if (!message_box_ || !box_advises_ || advised_runstate_ == s_.runstate) return;
  advised_runstate_ = s_.runstate;
  message_box_->setInformativeText(Advice(s_.runstate));
}

// Beside the Control Display, so that its buttons stay free: to the right
// when the screen has room there, else below, to the left or above it.
void QtPort::PlaceMessageBox() {
  message_box_->adjustSize();
  const QSize size = message_box_->size() + QSize(kGuessedFrame, kGuessedFrame);
  const QRect control = form1_.frameGeometry();
  const QScreen* screen = form1_.screen() ? form1_.screen() : QGuiApplication::primaryScreen();
  const QRect room = screen ? screen->availableGeometry() : QRect();
  const QPoint places[] = {
      {control.right() + 1 + kBoxGap, control.top()},
      {control.left(), control.bottom() + 1 + kBoxGap},
      {control.left() - kBoxGap - size.width(), control.top()},
      {control.left(), control.top() - kBoxGap - size.height()},
  };
  QPoint place = places[0];
  for (const QPoint& p : places) {
    if (room.isEmpty() || room.contains(QRect(p, size))) {
      place = p;
      break;
    }
  }
  message_box_->move(place);
}

}  // namespace lab
