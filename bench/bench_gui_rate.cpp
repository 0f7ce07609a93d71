// How much the windows cost the run loop: the same first steps of preset 2,
// once through the Qt port (offscreen unless a platform is set) and once
// through the headless port, in steps per second. The last line is the ratio
// of the two rates; the windows should keep at least 0.9 of the headless rate.
//
//   bench-gui-rate [STEPS]     (default 3000000)
#include <QApplication>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "state/sim_state.h"
#include "port/control_flow.h"
#include "control/handlers.h"
#include "control/headless_port.h"
#include "ui/qt/control_display.h"
#include "ui/qt/data_display.h"
#include "ui/qt/qt_port.h"
#include "ui/qt/trajectory_display.h"

namespace {

// A port that ends the program once the series has run `limit` steps.
template <class Port>
class Limited : public Port {
 public:
  template <class... Args>
  Limited(std::int64_t limit, lab::SimState& s, Args&... args)
      : Port(s, args...), limit_(limit), state_(s) {}

  void YieldEvents() override {
    if (done_ + state_.tcnt >= limit_) throw lab::ProgramEnded{};
    Port::YieldEvents();
  }
  void TestFinished(const lab::TestSummary& t) override { done_ += t.steps; }
  std::int64_t Steps() const { return done_ + state_.tcnt; }

 private:
  std::int64_t limit_;
  lab::SimState& state_;
  std::int64_t done_ = 0;
};

using Clock = std::chrono::steady_clock;

// Steps per second of the series the port runs from a Start.
template <class Port>
double Rate(Port& port, lab::SimState& s) {
  const auto t0 = Clock::now();
  try {
    lab::ClickButton(s, port, lab::Button::CommandStart);
  } catch (const lab::ProgramEnded&) {
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  return static_cast<double>(port.Steps()) / seconds;
}

double HeadlessRate(std::int64_t steps) {
  auto s = std::make_unique<lab::SimState>();
  Limited<lab::HeadlessPort> port(steps, *s);
  port.record_points = false;
  lab::Form_Load(*s, port);
  port.Paste(10, "2");
  lab::ClearUpperVectorState();  // as the Qt port leaves it after its events
  return Rate(port, *s);
}

double QtRate(std::int64_t steps) {
  auto s = std::make_unique<lab::SimState>();
  lab::Form1 form1;
  lab::Form2 form2;
  lab::Form3 form3;
  Limited<lab::QtPort> port(steps, *s, form1, form2, form3);
  form1.show();
  port.RunHandler([&] { lab::Form_Load(*s, port); });
  form1.Text1(10)->setText(QStringLiteral("2"));  // as typed
  return Rate(port, *s);
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::int64_t steps = argc > 1 ? std::atoll(argv[1]) : 3000000;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  // Alternating rounds; the best of each counts.
  double headless = 0;
  double qt = 0;
  for (int round = 0; round < 5; ++round) {
    headless = std::max(headless, HeadlessRate(steps));
    qt = std::max(qt, QtRate(steps));
  }
  std::printf("steps %lld of preset 2 (platform %s)\n", static_cast<long long>(steps),
              qPrintable(QGuiApplication::platformName()));
  std::printf("headless %.0f steps/s\n", headless);
  std::printf("qt %.0f steps/s\n", qt);
  std::printf("ratio %.3f\n", qt / headless);
  return 0;
}
