// The Trajectory Display: where each body's points land in each view, in
// which colour, and in which steps (every hundredth far from an encounter,
// every step near one, and the last step of a test).
#include <gtest/gtest.h>

#include <cstdio>

#include "setup/field_names.h"
#include "golden.h"
#include "port/control_flow.h"
#include "control/handlers.h"
#include "control/headless_port.h"

namespace {

// Keeps the points of the steps from..to with their step number.
struct Recorder : lab::HeadlessPort {
  using HeadlessPort::HeadlessPort;
  std::int64_t from = 0, to = 0;
  std::string text;
  void PlotPoint(float x, float y, lab::ColourNumber colour) override {
    if (s_.tcnt < from || s_.tcnt > to) return;
    char line[96];
    std::snprintf(line, sizeof line, "%lld %.9g %.9g %d\n", static_cast<long long>(s_.tcnt), x, y,
                  static_cast<int>(colour));
    text += line;
  }
};

class Drawing : public testing::TestWithParam<golden::Entry> {};

TEST_P(Drawing, PointsLandWhereTheyDid) {
  const golden::Entry& e = GetParam();
  if (e.slow && golden::kSanitized) GTEST_SKIP() << "a long test: run in the optimised build only";
  const auto& words = e.words;
  lab::SimState s;
  Recorder port(s);
  port.from = std::stoll(words.at(0));
  port.to = std::stoll(words.at(1));
  lab::Form_Load(s, port);
  for (std::size_t i = 2; i < words.size(); ++i) {
    const std::string name = words[i].substr(0, words[i].find('='));
    const std::string text = words[i].substr(name.size() + 1);
    port.Paste(name == "test" ? 10 : lab::FieldOfName(name), text);
  }
  port.AtStep(port.to, [](lab::HeadlessPort& p) { p.Click(lab::Button::CommandStop); });
  EXPECT_THROW(port.Click(lab::Button::CommandStart), lab::ProgramEnded);
  golden::Expect("drawing/" + e.name + ".txt", port.text);
}

INSTANTIATE_TEST_SUITE_P(Golden, Drawing, testing::ValuesIn(golden::Manifest("drawing.txt")),
                         golden::TestName);

}  // namespace
