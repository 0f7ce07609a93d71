// The headless port as the batch runner drives it: it presses Next in every
// pause and once a test has run the step limit, ends the program when the
// series halts, and turns each finished test into a CSV row.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "ui/headless_port.h"

namespace lab {

struct TestRow {
  std::array<std::string, 7> row1;  // Data Display row 1 as written
  std::string vesc_heading;
  bool v3_red = false;
  std::int64_t steps = 0;
  std::string end;
  bool best = false;
  bool candidate = false;
  double ratio = 0;
};

class BatchPort : public HeadlessPort {
 public:
  using Emit = std::function<void(const TestRow&)>;
  BatchPort(SimState& s, std::int64_t max_steps, Emit emit);

  void YieldEvents() override;
  void WaitEvents() override;
  void SetResultText(int index, const std::string& text) override;
  void TestFinished(const TestSummary& summary) override;

 private:
  std::int64_t max_steps_;
  Emit emit_;
  bool limit_pressed_ = false;  // Next was pressed for the step limit in this test
  TestRow row_;
};

// The word of the CSV column "end".
const char* EndWord(int endcause, bool limit);

}  // namespace lab
