#include "app/batch/batch_port.h"

#include <utility>

#include "simulation/energy.h"
#include "simulation/run_loop.h"

namespace lab {

const char* EndWord(int endcause, bool limit) {
  if (limit) return "limit";
  switch (endcause) {
    case kEndEscaped: return "escaped";
    case kEndReceded: return "receded";
    case kEndAbsorbed: return "absorbed";
    case kEndPassages: return "passages";
    case kEndNext: return "next";
    default: return "none";
  }
}

BatchPort::BatchPort(SimState& s, std::int64_t max_steps, Emit emit)
    : HeadlessPort(s), max_steps_(max_steps), emit_(std::move(emit)) {
  record_points = false;
}

// Once the test has run max_steps steps, Next is pressed at the start of the
// next display step, so that the test ends in that step with the results of
// that step (the display step's first yield is the first yield of a step in
// which IsDisplayStep holds).
void BatchPort::YieldEvents() {
  ++yields;
  if (running_steps && (s_.tcnt & 0xffff) == 0) {
    running_steps->store(s_.tcnt, std::memory_order_relaxed);
  }
  if (max_steps_ > 0 && s_.tcnt > max_steps_ && !limit_pressed_ && s_.endtest == 0 &&
      IsDisplayStep(s_)) {
    limit_pressed_ = true;
    Click(Button::CommandNext);
  }
}

// Nobody sits at the windows: a pause is released at once, the halted wait
// ends the program.
void BatchPort::WaitEvents() {
  ++waits;
  if (s_.waitnext == 1) {
    Click(Button::CommandNext);
    return;
  }
  EndProgram();
}

void BatchPort::PlotPoint(float x, float y, ColourNumber colour) {
  ++points_plotted;
  if (layer) layer->Plot(x, y, colour);
}

void BatchPort::ClearTrajectory() {
  ++clears;
  if (layer) layer->Clear();
}

void BatchPort::SetResultText(int index, const std::string& text) {
  HeadlessPort::SetResultText(index, text);
  if (index == 0) {  // a test begins, its bodies set up
    limit_pressed_ = false;
    row_ = TestRow{};
    if (energy) start_energy_ = TotalEnergy(s_, true);
  } else if (index >= 7 && index <= 13) {
    row_.row1[index - 7] = text;
    if (index == 10) row_.v3_red = result_colours[10] == s_.clightred;
    if (index == 13) row_.vesc_heading = headings[4];
  } else if (index >= 14) {
    row_.best = true;
  }
}

void BatchPort::TestFinished(const TestSummary& summary) {
  if (tests_done) {
    steps_done->fetch_add(summary.steps, std::memory_order_relaxed);
    running_steps->store(0, std::memory_order_relaxed);
    tests_done->fetch_add(1, std::memory_order_relaxed);
  }
  if (!summary.results) return;
  row_.steps = summary.steps;
  row_.end = EndWord(summary.endcause, limit_pressed_);
  row_.candidate = summary.candidate;
  row_.ratio = summary.ratio;
  row_.cross = cross;
  if (energy && s_.nalive == 3) {
    row_.energy_err = (TotalEnergy(s_, false) - start_energy_) / std::abs(start_energy_);
  }
  emit_(row_);
}

}  // namespace lab
