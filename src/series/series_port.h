// The headless port as the batch runner drives it: it presses Next in every
// pause and once a test has run the step limit, ends the program when the
// series halts, turns each finished test into a CSV row, and leaves the run
// (throwing Interrupted) once a stop was requested.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "simulation/pixel_layer.h"
#include "series/stop.h"
#include "simulation/test_row.h"
#include "control/headless_port.h"

namespace lab {

class SeriesPort : public HeadlessPort {
 public:
  using Emit = std::function<void(const TestRow&)>;
  SeriesPort(SimState& s, std::int64_t max_steps, Emit emit);

  // Optional: a picture of the drawing, the progress line.
  PixelLayer* layer = nullptr;
  std::optional<CrossOutcome> cross;  // handed to the row of the next test
  const RunStop* stop = nullptr;      // asked at every 64th yield
  std::atomic<std::int64_t>* running_steps = nullptr;
  std::atomic<std::int64_t>* tests_done = nullptr;
  std::atomic<std::int64_t>* steps_done = nullptr;

  void YieldEvents() override;
  void WaitEvents() override;
  void PlotPoint(float x, float y, ColourNumber colour) override;
  // Points are kept only in a picture.
  bool DrawsPoints() override { return layer != nullptr; }
  void ClearTrajectory() override;
  void SetResultText(int index, const std::string& text) override;
  void TestFinished(const TestSummary& summary) override;

 private:
  std::int64_t max_steps_;
  Emit emit_;
  bool limit_pressed_ = false;  // Next was pressed for the step limit in this test
  double start_energy_ = 0;
  TestRow row_;
};


}  // namespace lab
