// Tests side by side in SIMD lanes print what one test at a time prints, to
// the last byte: every preset, every way a test ends (also in the middle of a
// lane group), the pause, the step limit, pictures and shards, on one and two
// threads.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "app/batch/batch_port.h"
#include "app/batch/batch_run.h"
#include "app/batch/lane_series.h"
#include "setup/initial_conditions.h"
#include "simulation/lane_step.h"
#include "simulation/run_loop.h"
#include "ui/handlers.h"

namespace {

using Args = std::vector<std::string>;

std::string Batch(Args args) {
  std::ostringstream out, err;
  const int status = lab::RunBatch(args, out, err);
  return out.str() + err.str() + "status " + std::to_string(status) + '\n';
}

Args With(Args args, const Args& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// The column "end" of each row, joined by blanks.
std::string Ends(const std::string& printed) {
  std::istringstream in(printed);
  std::string line, ends;
  std::getline(in, line);  // header
  while (std::getline(in, line) && line.rfind("encounter-batch", 0) != 0 &&
         line.find(',') != std::string::npos) {
    std::string field;
    std::istringstream cells(line);
    for (int i = 0; i <= 10; ++i) std::getline(cells, field, ',');
    ends += (ends.empty() ? "" : " ") + field;
  }
  return ends;
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

// Short series of every preset; most tests end at the step limit, the short
// ones by themselves.
TEST_P(Lanes, EveryPreset) {
  const std::pair<const char*, const char*> kSeries[] = {
      {"0", "40"},   {"1", "40"},   {"2", "40"},     {"3", "40"},      {"3.5", "40"},
      {"4", "40"},   {"5", "40"},   {"5.5", "169"},  {"6", "40"},      {"6.5", "168"},
      {"7", "40"},   {"8", ""},     {"9", ""},       {"10", ""},       {"11", ""},
      {"101", "40"}, {"105", "40"}, {"107", "350.61"}, {"108", "350.638"}, {"111", "40"},
  };
  for (const auto& [preset, end] : kSeries) {
    SCOPED_TRACE(preset);
    Args args = {"--test", preset, "--max-steps", "12000", "--energy"};
    if (*end) args = With(args, {"--set", std::string("end=") + end});
    const std::string printed = ExpectSame(args);
    EXPECT_NE(printed.find("status 0"), std::string::npos) << printed;
  }
}

// Series whose tests end in every way; the ends are checked too, so that a
// series cannot quietly stop showing what it is here for.
TEST_P(Lanes, EveryEnd) {
  const struct {
    Args args;
    const char* ends;
  } kSeries[] = {
      // Body 2 absorbed in the third test, beside tests that escape.
      {{"--test", "0", "--set", "tdfact=0.05", "--set", "end=60"},
       "escaped escaped absorbed escaped escaped escaped escaped"},
      // A heavy body 2 recedes; absorbed in the second test.
      {{"--test", "3", "--set", "m3=2", "--set", "tdfact=0.1", "--set", "end=50"},
       "receded absorbed receded receded receded receded"},
      // Central mass: the set number of closest approaches, and absorptions.
      {{"--test", "9", "--set", "tdfact=0.25"},
       "passages absorbed absorbed absorbed absorbed absorbed passages"},
      // Body 2 absorbs body 0 and goes on with body 1 alone; the step limit.
      {{"--test", "105", "--set", "tdfact=0.25", "--set", "end=40", "--max-steps", "20060"},
       "limit limit absorbed limit limit"},
      // A massless body 2 never fits a lane.
      {{"--test", "0", "--set", "m3=0", "--set", "end=20", "--max-steps", "3000"},
       "limit limit limit"},
      // The pause after each test, and the limit in the middle of a series.
      {{"--test", "108", "--set", "end=350.638", "--max-steps", "9000", "--energy"},
       "limit limit limit limit"},
  };
  for (const auto& series : kSeries) {
    SCOPED_TRACE(series.args[1]);
    EXPECT_EQ(Ends(ExpectSame(series.args)), series.ends);
  }
}

// A test whose values stop being finite ends without results, with a message.
TEST_P(Lanes, ValuesNoLongerFinite) {
  const std::string printed = ExpectSame({"--test", "0", "--set", "tdfact=1e-200", "--set", "end=40"});
  EXPECT_NE(printed.find("no longer finite"), std::string::npos);
  EXPECT_NE(printed.find("status 2"), std::string::npos);
}

// Every display step plots: near an encounter (every step) and far from one
// (every hundredth), in a pair and around a central mass.
TEST_P(Lanes, PicturesAndShards) {
  const std::string dir = testing::TempDir();
  auto picture = [&](const Args& series, const std::string& lanes) {
    const std::string file = dir + "lanes" + lanes + ".png";
    Batch(With(series, {"--png", file, "--lanes", lanes, "--jobs", "1", "--quiet"}));
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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
    lab::BatchPort port(s, 0, [&](const lab::TestRow& row) { one.push_back(row_text(row)); });
    lab::RunOneTest(s, port);
  }

  std::vector<lab::SimState> states = starts;
  std::vector<std::unique_ptr<lab::BatchPort>> ports(states.size());
  std::vector<std::size_t> held(4);
  std::size_t taken = 0;
  int asked = 0;
  auto next = [&](int slot, lab::LaneTest* test, bool wait) {
    if ((!wait && ++asked % 3 != 0) || taken == states.size()) return false;
    const std::size_t i = held[slot] = taken++;
    ports[i] = std::make_unique<lab::BatchPort>(
        states[i], 0, [&, i](const lab::TestRow& row) { lanes[i] = row_text(row); });
    *test = {&states[i], ports[i].get()};
    return true;
  };
  lab::RunTestsInLanes(2, next, [&](int slot) { ports[held[slot]].reset(); }, nullptr);
  EXPECT_EQ(lanes, one);
  EXPECT_EQ(one.size(), 8u);
}

TEST(LanesOption, WidthsOnOffer) {
  EXPECT_EQ(Batch({"--lanes", "3"}),
            "encounter-batch: --lanes takes 1, 2 or 4, not \"3\"\nstatus 2\n");
  EXPECT_TRUE(lab::LanesSupported(2));
  EXPECT_EQ(lab::WidestLanes(), lab::LanesSupported(4) ? 4 : 2);
}

}  // namespace
