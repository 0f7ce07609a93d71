// The display port on the three Qt windows, and the one road from a window
// event into the logic.
//
// The logic leaves by exceptions (ProgramEnded, SeriesReplaced) that must not
// cross Qt's event dispatch. Every handler a window event starts therefore
// runs through RunHandler: inside YieldEvents or WaitEvents it keeps what the
// handler threw and the yield throws it again to the logic once the events
// are done; at the top (the application's own event loop, or a Start whose
// series runs inside its click) the end of the program closes the windows
// and leaves the event loop; a fatal error is shown in a box first.
#pragma once

#include <QEventLoop>
#include <QPointer>
#include <array>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "state/sim_state.h"
#include "port/display_port.h"
#include "ui/qt/control_display.h"
#include "ui/qt/data_display.h"
#include "ui/qt/kept_results.h"
#include "ui/qt/trajectory_display.h"

class QMessageBox;

namespace lab {

// Clears the upper halves of the AVX registers (nothing on processors
// without them), which code of the window system may leave in use and which
// then slow down every SSE instruction of the integrator. RunEvents does it
// after each round of events.
void ClearUpperVectorState();

class QtPort : public DisplayPort {
 public:
  QtPort(SimState& s, Form1& form1, Form2& form2, Form3& form3);
  ~QtPort() override;
  QtPort(const QtPort&) = delete;
  QtPort& operator=(const QtPort&) = delete;

  // DisplayPort
  void ShowResultWindows() override;
  void ClearTrajectory() override;
  void PlotPoint(float x, float y, ColourNumber colour) override;
  TrajectorySize GetTrajectorySize() override;
  std::string GetFieldText(int index) override;
  void SetFieldText(int index, const std::string& text) override;
  bool GetUnitOption() override;
  void SetUnitOption(bool au) override;
  void SetResultText(int index, const std::string& text) override;
  void SetResultColour(int index, ColourNumber colour) override;
  void SetResultHeading(int index, const std::string& text) override;
  void SetButtonCaption(Button button, const std::string& caption) override;
  void ArrangeWindows() override;
  void YieldEvents() override;
  void WaitEvents() override;
  [[noreturn]] void EndProgram() override;
  std::int64_t TimeOfDay() override;
  void ShowMessage(const std::string& text) override;
  void TestFinished(const TestSummary& summary) override;

  // The program's start: the Control Display is shown and, once the window
  // manager has placed and framed it, Form_Load runs.
  void StartUp();

  // The windows take the sizes and places kept from the last run at start-up
  // and keep theirs when the program ends (window_layout.h). Off unless asked
  // for, so that tests and pictures always see the program's own layout.
  void RememberLayout() { remember_layout_ = true; }

  // Runs a handler of the logic for a window event (see the top of the file).
  void RunHandler(const std::function<void()>& handler);

  KeptResults& Kept() { return kept_; }
  // The Control Display as a scenario of the public API: "test", the texts
  // the user typed over its scenario, and the unit option.
  encounter::Scenario FieldsScenario();

  bool Ended() const { return ended_; }        // the program has ended
  int ExitCode() const { return exit_code_; }  // 0, or 1 after a fatal error
  const std::string& LastMessage() const { return last_message_; }
  QMessageBox* MessageBox() const;  // the box ShowMessage uses; none before

 private:
  // How strongly an exception kept from a handler claims the logic: the end
  // of the program beats a new series, a fatal error beats both.
  enum class Pending { kNone, kSeriesReplaced, kProgramEnded, kFatal };

  void WireEvents();
  void RunEvents(QEventLoop::ProcessEventsFlags flags);
  void Keep(Pending kind, std::exception_ptr e);
  void EndAtTop(int exit_code, const QString& fatal = {});
  void WaitUntilPlaced(QWidget& window);
  void ShowBox(const QString& text, bool advise);
  bool StartAllowed();
  void UpdateTestNote();
  void KeepLayout();
  void PlaceMessageBox();
  void RefreshAdvice();
  static QString Advice(int runstate);

  SimState& s_;
  Form1& form1_;
  Form2& form2_;
  Form3& form3_;

  // YieldEvents looks at the clock only every kClockStride-th call, and runs
  // the events only when kEventInterval has passed since the last time.
  static constexpr std::uint32_t kClockStride = 64;
  static constexpr std::chrono::milliseconds kEventInterval{10};
  std::uint32_t yield_count_ = 0;
  std::chrono::steady_clock::time_point last_events_{};

  int event_depth_ = 0;  // nesting of RunEvents
  Pending pending_kind_ = Pending::kNone;
  std::exception_ptr pending_;

  int setting_field_ = 0;  // inside SetFieldText: it raises Text1_Change itself
  std::array<bool, kControlFields> typed_{};  // the field holds a text the user typed
  double loaded_scenario_ = 0;  // the scenario whose values the fields were given last
  std::string start_warnings_;  // told once the series has begun
  bool caveat_told_ = false;    // a test of this series went beyond Newtonian gravity
  encounter::Scenario start_scenario_;  // the fields as Start found them
  bool remember_layout_ = false;
  bool ended_ = false;
  int exit_code_ = 0;
  std::string last_message_;
  QPointer<QMessageBox> message_box_;
  bool box_advises_ = false;  // the box shows a message of the logic: it says what Stop does
  int advised_runstate_ = 0;  // the state its advice was written for

  // What the Data Display showed last, for the kept series.
  ColourNumber v3_colour_ = 0;  // row 1's "V #3"
  std::string vesc_heading_;
  KeptResults kept_;
  std::vector<QMetaObject::Connection> connections_;
};

}  // namespace lab
