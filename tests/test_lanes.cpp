// Tests side by side in SIMD lanes print what one test at a time prints, to
// the last byte: every preset, every way a test ends (also in the middle of a
// lane group), the pause, the step limit, pictures and shards, on one and two
// threads.
#include <gtest/gtest.h>

#include <map>

#include "series/series_port.h"
#include "series/lane_series.h"
#include "batch_run_helper.h"
#include "setup/initial_conditions.h"
#include "simulation/lane_step.h"
#include "simulation/run_loop.h"
#include "control/handlers.h"

namespace {

using Args = std::vector<std::string>;

std::string Batch(const Args& args) {
  const batch_test::Result r = batch_test::Batch(args);
  return r.out + r.err + "status " + std::to_string(r.status) + '\n';
}

Args With(Args args, const Args& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

class Lanes : public testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    if (!lab::LanesSupported(GetParam())) {
      GTEST_SKIP() << "this processor has no AVX2: four lanes are not tested";
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

INSTANTIATE_TEST_SUITE_P(Widths, Lanes, testing::Values(2, 4),
                         [](const auto& info) { return std::to_string(info.param) + "Lanes"; });

// A source that has no test at hand while lanes run (a bound on running
// ahead) holds back no test and loses none.
TEST(LaneRunner, TestsNotToBeHadAtOnce) {
  lab::SimState base;
  lab::HeadlessPort setup(base);
  lab::Form_Load(base, setup);
  setup.Paste(10, "0");
  setup.Paste(13, "0.05");  // t d fact: short tests
  setup.Paste(12, "70");
  base.runstate = 0;
  lab::StartSeries(base, setup);
  std::vector<lab::SimState> starts;
  for (lab::SimState s = base; starts.empty() || s.alpha0 <= s.alphaend;
       s.alpha0 = s.alpha0 + s.dalpha) {
    starts.push_back(s);
    ASSERT_TRUE(lab::INITIALISE(s, setup));
  }
  auto row_text = [](const lab::TestRow& row) {
    std::string text;
    for (const auto& cell : row.row1) text += cell + ',';
    return text + std::to_string(row.steps) + ',' + row.end;
  };
  std::vector<std::string> one, lanes(starts.size());
  for (lab::SimState s : starts) {
    lab::SeriesPort port(s, 0, [&](const lab::TestRow& row) { one.push_back(row_text(row)); });
    lab::RunOneTest(s, port);
  }

  std::vector<lab::SimState> states = starts;
  std::vector<std::unique_ptr<lab::SeriesPort>> ports(states.size());
  std::vector<std::size_t> held(4);
  std::size_t taken = 0;
  int asked = 0;
  auto next = [&](int slot, lab::LaneTest* test, bool wait) {
    if ((!wait && ++asked % 3 != 0) || taken == states.size()) return false;
    const std::size_t i = held[slot] = taken++;
    ports[i] = std::make_unique<lab::SeriesPort>(
        states[i], 0, [&, i](const lab::TestRow& row) { lanes[i] = row_text(row); });
    *test = {&states[i], ports[i].get()};
    return true;
  };
  lab::RunTestsInLanes(2, next, [&](int slot) { ports[held[slot]].reset(); }, nullptr);
  EXPECT_EQ(lanes, one);
  EXPECT_EQ(one.size(), 8u);
}

TEST(LanesOption, WidthsOnOffer) {
  EXPECT_TRUE(lab::LanesSupported(2));
  EXPECT_EQ(lab::WidestLanes(), lab::LanesSupported(4) ? 4 : 2);
}

}  // namespace
