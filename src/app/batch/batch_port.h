// The headless port as the batch runner drives it: it presses Next in every
// pause and once a test has run the step limit, ends the program when the
// series halts, turns each finished test into a CSV row, and leaves the run
// (throwing Interrupted) once a stop was requested.
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
  // Relative change of the total energy over the test: only when no body was
  // absorbed and the change is a finite number.
  std::optional<double> energy_err;
  // The values behind the texts of row 1, unrounded.
  double t_s = 0;               // end time: steps x time step (s)
  std::array<double, 3> v{};    // speeds (km/s)
  double vesc = 0;              // the escape speed shown (km/s)
  int vesc_body = 0;            // whose: 1, 2 or 3
  int ratio_body = 0;           // whose speed ratio divides by vesc: 1 or 2
  double r3 = 0, rmin = 0;      // distances (km)
  std::optional<CrossOutcome> cross;  // with --crosscheck
};

class BatchPort : public HeadlessPort {
 public:
  using Emit = std::function<void(const TestRow&)>;
  BatchPort(SimState& s, std::int64_t max_steps, Emit emit);

  // Optional: a picture of the drawing, the progress line.
  PixelLayer* layer = nullptr;
  std::optional<CrossOutcome> cross;  // handed to the row of the next test
  std::atomic<std::int64_t>* running_steps = nullptr;
  std::atomic<std::int64_t>* tests_done = nullptr;
  std::atomic<std::int64_t>* steps_done = nullptr;

  void YieldEvents() override;
  void WaitEvents() override;
  void PlotPoint(float x, float y, ColourNumber colour) override;
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
