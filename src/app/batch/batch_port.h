// The headless port as the batch runner drives it: it presses Next in every
// pause and once a test has run the step limit, ends the program when the
// series halts, and turns each finished test into a CSV row.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/batch/pixel_layer.h"
#include "ui/headless_port.h"

namespace lab {

// The same test under the accurate method, for --crosscheck.
struct CrossOutcome {
  std::string end;
  bool candidate = false;
  double ratio = 0;
  bool v3_red = false;
  bool best = false;  // decided in series order
};

struct TestRow {
  std::array<std::string, 7> row1;  // Data Display row 1 as written
  std::string vesc_heading;
  bool v3_red = false;
  std::int64_t steps = 0;
  std::string end;
  bool best = false;       // the test went into row 2
  bool candidate = false;  // it could have: ratio is its speed / escape speed
  double ratio = 0;
  std::optional<double> energy_err;  // with --energy, when no body was absorbed
  std::optional<CrossOutcome> cross;  // with --crosscheck
};

class BatchPort : public HeadlessPort {
 public:
  using Emit = std::function<void(const TestRow&)>;
  BatchPort(SimState& s, std::int64_t max_steps, Emit emit);

  // Optional: a picture of the drawing, the energy column, the progress line.
  PixelLayer* layer = nullptr;
  bool energy = false;
  std::optional<CrossOutcome> cross;  // handed to the row of the next test
  std::atomic<std::int64_t>* running_steps = nullptr;
  std::atomic<std::int64_t>* tests_done = nullptr;
  std::atomic<std::int64_t>* steps_done = nullptr;

  void YieldEvents() override;
  void WaitEvents() override;
  void PlotPoint(float x, float y, ColourNumber colour) override;
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

// The word of the CSV column "end".
const char* EndWord(int endcause, bool limit);

}  // namespace lab
