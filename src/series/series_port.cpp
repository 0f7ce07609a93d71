#include "series/series_port.h"

#include <cmath>
#include <utility>

#include "series/stop.h"
#include "simulation/test_row.h"
#include "simulation/energy.h"
#include "simulation/run_loop.h"

namespace lab {

SeriesPort::SeriesPort(SimState& s, std::int64_t max_steps, Emit emit)
    : HeadlessPort(s), max_steps_(max_steps), emit_(std::move(emit)) {
  record_points = false;
}

// Next is pressed at the first display step at which the test has run
// max_steps steps, so that the test ends in that step with the results of
// that step (the display step's first yield is the first yield of a step in
// which IsDisplayStep holds).
void SeriesPort::YieldEvents() {
  ++yields;
  // Asking through the pool's stop to the caller's costs more than a step; a
  // stop asked is seen within 64 yields, a few thousand steps at most.
  if (stop && (yields & 63) == 0 && stop->Requested()) throw Interrupted{};
  if (running_steps && (s_.tcnt & 0xffff) == 0) {
    running_steps->store(s_.tcnt, std::memory_order_relaxed);
  }
  if (max_steps_ > 0 && s_.tcnt >= max_steps_ && !limit_pressed_ && s_.endtest == 0 &&
      IsDisplayStep(s_)) {
    limit_pressed_ = true;
    Click(Button::CommandNext);
  }
}

// Nobody sits at the windows: a pause is released at once, the halted wait
// ends the program.
void SeriesPort::WaitEvents() {
  ++waits;
  if (s_.waitnext == 1) {
    Click(Button::CommandNext);
    return;
  }
  EndProgram();
}

void SeriesPort::PlotPoint(float x, float y, ColourNumber colour) {
  ++points_plotted;
  if (layer) layer->Plot(x, y, colour);
}

void SeriesPort::ClearTrajectory() {
  ++clears;
  if (layer) layer->Clear();
}

void SeriesPort::SetResultText(int index, const std::string& text) {
  HeadlessPort::SetResultText(index, text);
  if (index == 0) {  // a test begins, its bodies set up
    limit_pressed_ = false;
    start_energy_ = TotalEnergy(s_, true);
  }
  TakeResultText(row_, index, text, result_colours[10] == s_.clightred, headings[4]);
}

void SeriesPort::TestFinished(const TestSummary& summary) {
  if (tests_done) {
    steps_done->fetch_add(summary.steps, std::memory_order_relaxed);
    running_steps->store(0, std::memory_order_relaxed);
    tests_done->fetch_add(1, std::memory_order_relaxed);
  }
  if (!FinishRow(row_, summary, limit_pressed_)) return;
  row_.cross = cross;
  if (s_.nalive == 3) {
    const double change = (TotalEnergy(s_, false) - start_energy_) / std::abs(start_energy_);
    if (std::isfinite(change)) row_.energy_err = change;
  }
  row_.t_s = summary.time;
  for (int i = 0; i < 3; ++i) row_.v[i] = s_.v[i];
  for (int i = 0; i < 3; ++i) row_.massive[i] = s_.m[i] > 0;
  row_.vesc = summary.vescshown;
  row_.vesc_body = row_.vesc_heading.empty() ? 0 : row_.vesc_heading.back() - '0';
  row_.r3 = std::sqrt(summary.rmax);
  row_.rmin = std::sqrt(s_.rmin201sq);
  emit_(row_);
}

}  // namespace lab
