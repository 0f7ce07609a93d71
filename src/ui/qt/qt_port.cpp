#include "ui/qt/qt_port.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <cstdio>
#include <ctime>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "ui/control_flow.h"
#include "ui/handlers.h"

namespace lab {

namespace {

// The heights ArrangeWindows gives the first rows of the Control Display.
constexpr double kCompactHeight = 200;
constexpr int kLastCompactField = 10;
constexpr int kLastCompactLabel = 11;
// Gap between the Control Display and the Trajectory Display below it.
constexpr float kArrangeGap = 100;

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
    : s_(s), form1_(form1), form2_(form2), form3_(form3) {
  WireEvents();
}

QtPort::~QtPort() {
  for (const QMetaObject::Connection& c : connections_) QObject::disconnect(c);
}

// Every window event that reaches the logic, in one place.
void QtPort::WireEvents() {
  for (Button b : {Button::CommandStart, Button::CommandStop, Button::CommandNext,
                   Button::CommandClear}) {
    connections_.push_back(QObject::connect(form1_.Command(b), &QPushButton::clicked, [this, b] {
      RunHandler([this, b] { ClickButton(s_, *this, b); });
    }));
  }
  for (int i = 0; i < kControlFields; ++i) {
    connections_.push_back(
        QObject::connect(form1_.Text1(i), &QLineEdit::textChanged, [this, i] {
          // A write of the program raises the event itself, in SetFieldText.
          if (setting_field_ > 0) return;
          RunHandler([this, i] { Text1_Change(s_, *this, i); });
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
    try {
      throw;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "encounter: %s\n", e.what());
    } catch (...) {
      std::fprintf(stderr, "encounter: unknown error\n");
    }
    EndAtTop(1);
  }
}

void QtPort::Keep(Pending kind, std::exception_ptr e) {
  if (kind <= pending_kind_) return;
  pending_kind_ = kind;
  pending_ = std::move(e);
}

void QtPort::EndAtTop(int exit_code) {
  ended_ = true;
  exit_code_ = exit_code;
  form1_.AllowClose();
  if (message_box_) message_box_->close();
  form3_.close();
  form2_.close();
  form1_.close();
  QCoreApplication::exit(exit_code);
}

// Runs the window events; what a handler threw is thrown again here, into
// the logic that yielded.
void QtPort::RunEvents(QEventLoop::ProcessEventsFlags flags) {
  form2_.RepaintIfDirty();
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

// Sleeps in the window system until something happens.
void QtPort::WaitEvents() { RunEvents(QEventLoop::WaitForMoreEvents); }

void QtPort::EndProgram() { throw ProgramEnded{}; }

// Whole seconds of the wall clock; time() reads a coarse clock, cheaper than
// a full clock reading in a display step.
std::int64_t QtPort::TimeOfDay() { return static_cast<std::int64_t>(std::time(nullptr)); }

void QtPort::ShowResultWindows() {
  const AfterQt after_qt;
  if (!form2_.isVisible()) form2_.show();
  if (!form3_.isVisible()) form3_.show();
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
  QLineEdit* field = form1_.Text1(index);
  const QString new_text = QString::fromStdString(text);
  if (field->text() == new_text) return;  // a field reports real changes only
  ++setting_field_;
  field->setText(new_text);
  --setting_field_;
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

void QtPort::SetResultText(int index, const std::string& text) {
  const AfterQt after_qt;
  form3_.Text1(index)->setText(QString::fromStdString(text));
}

void QtPort::SetResultColour(int index, ColourNumber colour) {
  const AfterQt after_qt;
  QLineEdit* field = form3_.Text1(index);
  QPalette palette = field->palette();
  palette.setColor(QPalette::Text, QColor::fromRgb(RgbOf(colour)));
  field->setPalette(palette);
}

void QtPort::SetResultHeading(int index, const std::string& text) {
  const AfterQt after_qt;
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

void QtPort::ShowMessage(const std::string& text) {
  const AfterQt after_qt;
  last_message_ = text;
  // One box, not modal: the run loop goes on while it is shown.
  if (!message_box_) {
    message_box_ = new QMessageBox(QMessageBox::Information, form1_.windowTitle(), QString(),
                                   QMessageBox::Ok, &form1_);
    message_box_->setModal(false);
    message_box_->setWindowModality(Qt::NonModal);
  }
  message_box_->setText(QString::fromStdString(text));
  message_box_->show();
  message_box_->raise();
}

}  // namespace lab
