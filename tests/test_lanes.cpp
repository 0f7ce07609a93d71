// Tests side by side in SIMD lanes print what one test at a time prints, to
// the last byte: every preset, every way a test ends (also in the middle of a
// lane group), the pause, the step limit, pictures and shards, on one and two
// threads, seeded random series in every layout of the lanes, a user whose
// clock ticks and who presses Next at a display step, and the display step
// a lane holds while it goes on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>

#include "series/series_port.h"
#include "series/lane_series.h"
#include "batch_run_helper.h"
#include "setup/initial_conditions.h"
#include "simulation/lane_step.h"
#include "simulation/run_loop.h"
#include "control/handlers.h"

namespace {

using Args = std::vector<std::string>;
using batch_test::With;

std::string Batch(const Args& args) {
  const batch_test::Result r = batch_test::Batch(args);
  return r.out + r.err + "status " + std::to_string(r.status) + '\n';
}

class Lanes : public testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    if (!lab::LanesSupported(GetParam())) {
      GTEST_SKIP() << "this processor has no AVX2: eight lanes are not tested";
    }
  }

  // What one test at a time on one thread prints (kept for the other width).
  static const std::string& OneAtATime(const Args& args) {
    static std::map<Args, std::string> printed;
    auto it = printed.find(args);
    if (it == printed.end()) {
      it = printed.emplace(args, Batch(With(args, {"--quiet", "--lanes", "1", "--jobs", "1"}))).first;
    }
    return it->second;
  }

  // The lanes on one and on two threads print the same; returns it.
  std::string ExpectSame(const Args& args) {
    const std::string& one = OneAtATime(args);
    const std::string width = std::to_string(GetParam());
    for (const char* jobs : {"1", "2"}) {
      EXPECT_EQ(Batch(With(args, {"--quiet", "--lanes", width, "--jobs", jobs})), one)
          << "--jobs " << jobs;
    }
    return one;
  }
};

// Series of every preset, and series whose tests end in every way, pinned.
TEST_P(Lanes, EveryPresetAndEveryEnd) {
  for (const auto& series : golden::Table("lanes.txt")) {
    SCOPED_TRACE(series.args[1]);
    const std::string printed = ExpectSame(series.args);
    if (series.text.empty()) {
      EXPECT_NE(printed.find("status 0"), std::string::npos) << printed;
    } else {
      golden::Expect("lanes/" + series.text + ".txt", printed);
    }
  }
}

// Every display step plots: near an encounter (every step) and far from one
// (every hundredth), in a pair and around a central mass.
TEST_P(Lanes, PicturesAndShards) {
  const std::string dir = testing::TempDir();
  auto picture = [&](const Args& series, const std::string& lanes) {
    const std::string file = dir + "lanes" + lanes + ".png";
    Batch(With(series, {"--png", file, "--lanes", lanes, "--jobs", "1", "--quiet"}));
    return golden::Read(file);
  };
  for (const Args& series : {Args{"--test", "6.5", "--set", "end=168", "--max-steps", "20000"},
                             Args{"--test", "0", "--set", "tdfact=0.05", "--set", "end=30"}}) {
    SCOPED_TRACE(series[1]);
    const std::string one = picture(series, "1");
    EXPECT_GT(one.size(), 100u);
    EXPECT_EQ(picture(series, std::to_string(GetParam())), one);
  }

  ExpectSame({"--test", "2", "--set", "tdfact=0.2", "--set", "end=90", "--shard", "2/3"});
}

INSTANTIATE_TEST_SUITE_P(Widths, Lanes, testing::Values(2, 4, 8),
                         [](const auto& info) { return std::to_string(info.param) + "Lanes"; });

// The start states of a series as the windows would run it, with the fields
// given as {field, text}.
std::vector<lab::SimState> StartsOf(const std::vector<std::pair<int, std::string>>& fields) {
  lab::SimState base;
  lab::HeadlessPort setup(base);
  lab::Form_Load(base, setup);
  for (const auto& [field, text] : fields) setup.Paste(field, text);
  base.runstate = 0;
  lab::StartSeries(base, setup);
  std::vector<lab::SimState> starts;
  for (lab::SimState s = base; starts.empty() || s.alpha0 <= s.alphaend;
       s.alpha0 = s.alpha0 + s.dalpha) {
    starts.push_back(s);
    if (!lab::INITIALISE(s, setup)) break;
  }
  return starts;
}

// A test's row with its unrounded values to the last bit.
std::string RowText(const lab::TestRow& row) {
  std::string text;
  for (const auto& cell : row.row1) text += cell + ',';
  char bits[256];
  std::snprintf(bits, sizeof bits, "%a,%a,%a,%a,%a,%a,%a,", row.t_s, row.v[0], row.v[1], row.v[2],
                row.r3, row.rmin, row.energy_err.value_or(0));
  return text + bits + std::to_string(row.steps) + ',' + row.end;
}

// What a port kept beyond the row: nothing, unless a test's port says (Seen).
std::string Seen(const lab::SeriesPort&) { return {}; }

template <class Port = lab::SeriesPort>
std::vector<std::string> OneAtATime(std::vector<lab::SimState> starts, std::int64_t max_steps) {
  std::vector<std::string> rows;
  for (lab::SimState& s : starts) {
    Port port(s, max_steps, [&](const lab::TestRow& row) { rows.push_back(RowText(row) + Seen(port)); });
    lab::RunOneTest(s, port);
  }
  return rows;
}

// The rows of the tests run in lanes of the given shape; a source that
// answers only every `every`-th question while lanes run (as a bound on
// running ahead does).
template <class Port = lab::SeriesPort>
std::vector<std::string> InLanes(std::vector<lab::SimState> states, lab::LaneShape shape,
                                 std::int64_t max_steps, int every) {
  std::vector<std::string> rows(states.size());
  std::vector<std::unique_ptr<Port>> ports(states.size());
  std::vector<std::size_t> held(lab::kMaxLanes);
  std::size_t taken = 0;
  int asked = 0;
  auto next = [&](int slot, lab::LaneTest* test, bool wait) {
    if ((!wait && ++asked % every != 0) || taken == states.size()) return false;
    const std::size_t i = held[slot] = taken++;
    ports[i] = std::make_unique<Port>(
        states[i], max_steps, [&, i](const lab::TestRow& row) { rows[i] = RowText(row) + Seen(*ports[i]); });
    *test = {&states[i], ports[i].get()};
    return true;
  };
  lab::RunTestsInLanes(shape, next, [&](int slot) { ports[held[slot]].reset(); }, nullptr);
  rows.erase(std::remove(rows.begin(), rows.end(), std::string()), rows.end());
  return rows;
}

// Every layout the kernels have: one or two groups of SSE2 or AVX2 lanes.
std::vector<lab::LaneShape> Shapes() {
  std::vector<lab::LaneShape> shapes;
  for (lab::LaneShape shape : {lab::LaneShape{2, 1}, {2, 2}, {4, 1}, {4, 2}}) {
    if (lab::ShapeSupported(shape)) shapes.push_back(shape);
  }
  return shapes;
}

// Seeded random series of several presets, step sizes and angles: every
// layout of lanes gives every test's row to the last digit, also when tests
// are handed out late (a source that has no test at hand while lanes run, as
// a bound on running ahead makes it) and lanes fall idle in the middle of a
// series: no test held back, none lost.
TEST(LaneRunner, RandomSeriesInEveryLayout) {
  std::mt19937 random(20261207);
  const char* const presets[] = {"0", "1", "2", "3", "4", "5", "6", "7", "101", "105"};
  auto pick = [&](double low, double high, const char* format) {
    char text[32];
    std::snprintf(text, sizeof text, format, std::uniform_real_distribution<double>(low, high)(random));
    return std::string(text);
  };
  int tests = 0;
  std::vector<lab::SimState> before;
  for (int series = 0; series < 6; ++series) {
    const std::string preset = presets[random() % std::size(presets)];
    const std::string start = pick(0, 300, "%.1f");
    std::vector<std::pair<int, std::string>> fields = {
        {10, preset}, {11, start}, {12, pick(std::stod(start) + 20, 359, "%.1f")},
        {13, pick(0.03, 0.4, "%.3f")}, {14, pick(2, 15, "%.2f")}};
    // These presets give the pair equal masses. Every other series, free
    // form, makes them unequal and takes turns with the tests of the series
    // before, so that tests of both kinds share the lanes of a group.
    if (series % 2 == 1) fields[0].second = "0", fields.push_back({1, pick(1.1, 3, "%.3f")});
    std::vector<lab::SimState> starts = StartsOf(fields);
    if (series % 2 == 1) {
      std::vector<lab::SimState> both;
      for (std::size_t i = 0; i < std::max(starts.size(), before.size()); ++i) {
        if (i < before.size()) both.push_back(before[i]);
        if (i < starts.size()) both.push_back(starts[i]);
      }
      starts = both;
    }
    before = starts;
    const std::int64_t max_steps = 4000 + static_cast<std::int64_t>(random() % 20000);
    const std::vector<std::string> one = OneAtATime(starts, max_steps);
    tests += static_cast<int>(one.size());
    for (lab::LaneShape shape : Shapes()) {
      SCOPED_TRACE("preset " + preset + " in " + std::to_string(shape.width) + " x " +
                   std::to_string(shape.groups) + " lanes, max steps " + std::to_string(max_steps));
      EXPECT_EQ(InLanes(starts, shape, max_steps, 1 + series % 3), one);
    }
  }
  EXPECT_GT(tests, 40);
}

// A user at the windows of each test, whose clock ticks every thousand
// steps, so that the live results are shown now and then (the steps they
// show are kept), and who presses Next at the second yield of a step from
// about the 2000th step on: that of a display step. The test ends with the
// results of that step, also where the lanes held the step and its display
// showed nothing.
class AUser : public lab::SeriesPort {
 public:
  using SeriesPort::SeriesPort;
  std::int64_t TimeOfDay() override { return s_.tcnt / 1000; }
  void SetFieldText(int index, const std::string& text) override {
    SeriesPort::SetFieldText(index, text);
    if (index == 7) shown += text + ' ';
  }
  void YieldEvents() override {
    SeriesPort::YieldEvents();
    yields_in_step_ = s_.tcnt == step_ ? yields_in_step_ + 1 : 1;
    step_ = s_.tcnt;
    if (s_.tcnt >= 2000 + 100 * (static_cast<int>(s_.alpha) % 7) && yields_in_step_ == 2) {
      Click(lab::Button::CommandNext);
    }
  }
  std::string shown;

 private:
  std::int64_t step_ = -1;
  int yields_in_step_ = 0;
};
std::string Seen(const AUser& port) { return port.shown; }

TEST(LaneRunner, AUserWhoseClockTicksPressesNextAtADisplay) {
  const std::vector<lab::SimState> starts = StartsOf({{10, "2"}, {11, "0"}, {12, "99"}, {14, "9"}});
  const std::vector<std::string> one = OneAtATime<AUser>(starts, 0);
  ASSERT_EQ(one.size(), starts.size());
  EXPECT_NE(one[0].find("1000 2000 "), std::string::npos) << one[0];
  for (lab::LaneShape shape : Shapes()) {
    SCOPED_TRACE(std::to_string(shape.width) + " x " + std::to_string(shape.groups));
    EXPECT_EQ(InLanes<AUser>(starts, shape, 0, 1), one);
  }
}

// An ordinary display step does not stop the lanes: each lane keeps the
// states of its hundredth, two hundredth, ... steps, in order and to the bit
// the run loop's after as many steps, and goes on until a display step finds
// no room left and stops it.
TEST(LaneKernel, HoldsTheHundredthStepsAndGoesOn) {
  const lab::SimState start = StartsOf({{10, "2"}}).front();
  auto set_up = [](lab::SimState& s, lab::RunningTest& r) {
    lab::SeriesPort port(s, 0, [](const lab::TestRow&) {});
    ASSERT_TRUE(lab::SetUpTest(s, r, port));
  };
  std::vector<std::pair<lab::SimState, lab::RunningTest>> scalar;  // after 100, 200, ... steps
  lab::SimState s = start;
  lab::RunningTest r;
  set_up(s, r);
  lab::SeriesPort port(s, 0, [](const lab::TestRow&) {});
  while (scalar.size() < lab::kHeldDisplays) {
    ASSERT_EQ(lab::StepOnce(s, r, port), lab::StepEnd::kGoingOn);
    if (s.tcnt % 100 == 0) scalar.emplace_back(s, r);
  }
  const int stop_n = 100 * (lab::kHeldDisplays + 1);
  for (lab::LaneShape shape : Shapes()) {
    SCOPED_TRACE(std::to_string(shape.width) + " x " + std::to_string(shape.groups));
    lab::SimState t = start;
    lab::RunningTest tr;
    set_up(t, tr);
    auto b = std::make_unique<lab::LaneBlock>();
    const unsigned all = (1u << shape.lanes()) - 1;
    for (int k = 0; k < shape.lanes(); ++k) lab::LoadLane(*b, k, t, tr);
    const lab::LaneStop stop = lab::AdvanceLanes(*b, shape, all);
    EXPECT_EQ(stop.held, all);
    EXPECT_EQ(stop.redo, 0u);
    EXPECT_NE(stop.finish, 0u);
    for (int k = 0; k < shape.lanes(); ++k) {
      SCOPED_TRACE("lane " + std::to_string(k));
      // The group that stopped took the step; the other, half a step behind, not yet.
      EXPECT_EQ(b->at.n[k], ((stop.finish >> k) & 1u) ? stop_n : stop_n - 1);
      EXPECT_EQ(b->nheld[k], lab::kHeldDisplays);
      EXPECT_EQ(b->next100[k], stop_n);
      for (int j = 0; j < lab::kHeldDisplays; ++j) {
        const auto& [want, want_r] = scalar[j];
        lab::SimState u = t;
        lab::RunningTest ur = tr;
        lab::StoreLane(*b, b->shown[j], k, u, ur);
        EXPECT_EQ(u.tcnt, want.tcnt);
        for (int i = 0; i < 3; ++i) {
          EXPECT_EQ(u.x[i], want.x[i]);
          EXPECT_EQ(u.y[i], want.y[i]);
          EXPECT_EQ(u.v[i], want.v[i]);
          for (int l = 0; l < 3; ++l) EXPECT_EQ(ur.tables.R2[i][l], want_r.tables.R2[i][l]);
        }
        EXPECT_EQ(u.rr2prev2, want.rr2prev2);
        EXPECT_EQ(u.rmin201sq, want.rmin201sq);
        EXPECT_EQ(ur.enc.rmax, want_r.enc.rmax);
        // What the display shows, with the speeds the lanes computed for it.
        ASSERT_TRUE(lab::StoreHeld(*b, j, k, u, ur));
        const lab::Encounter& e = ur.enc;
        const lab::Encounter& we = want_r.enc;
        EXPECT_EQ((std::vector{u.v[0], u.v[1], u.v[2], e.vesc1, e.vesc2, e.vesc3, e.ratio1, e.ratio2, e.ratio3}),
                  (std::vector{want.v[0], want.v[1], want.v[2], we.vesc1, we.vesc2, we.vesc3, we.ratio1,
                               we.ratio2, we.ratio3}));
      }
    }
  }
}

// A held display whose values are not all finite is to be shown (its
// display ends the test); one lane's least distance to body 0 made NaN, and
// another's to body 1: the display shows the lesser of the two as the run
// loop picks it, the finite one in the first lane, NaN in the second.
TEST(LaneKernel, HeldDisplayOfValuesNotFinite) {
  lab::SimState s = StartsOf({{10, "2"}}).front();
  lab::RunningTest r;
  lab::SeriesPort port(s, 0, [](const lab::TestRow&) {});
  ASSERT_TRUE(lab::SetUpTest(s, r, port));
  for (lab::LaneShape shape : Shapes()) {
    SCOPED_TRACE(std::to_string(shape.width) + " x " + std::to_string(shape.groups));
    auto b = std::make_unique<lab::LaneBlock>();
    for (int k = 0; k < shape.lanes(); ++k) lab::LoadLane(*b, k, s, r);
    b->at.rmin20[0] = std::nan("");
    b->at.rmin21[1] = std::nan("");
    const lab::LaneStop stop = lab::AdvanceLanes(*b, shape, (1u << shape.lanes()) - 1);
    ASSERT_EQ(stop.held, (1u << shape.lanes()) - 1);
    for (int k = 0; k < shape.lanes(); ++k) {
      for (int j = 0; j < lab::kHeldDisplays; ++j) EXPECT_EQ(lab::HeldValuesFinite(*b, j, k, s), k != 1) << k;
    }
  }
}

TEST(LanesOption, WidthsOnOffer) {
  EXPECT_TRUE(lab::LanesSupported(4));
  EXPECT_EQ(lab::WidestLanes(), lab::LanesSupported(8) ? 8 : 4);
  // Four lanes are two SSE2 groups where AVX2 is missing; eight need AVX2.
  const lab::LaneShape four = lab::ShapeOfLanes(4), eight = lab::ShapeOfLanes(8);
  EXPECT_EQ(four.lanes(), 4);
  EXPECT_EQ(four.groups, lab::LanesSupported(8) ? 1 : 2);
  if (lab::LanesSupported(8)) {
    EXPECT_EQ(eight.width * 10 + eight.groups, 42);
  }
}

}  // namespace
