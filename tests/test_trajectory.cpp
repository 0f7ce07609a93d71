// One test followed from inside: its last point is the state behind the
// series' row, its points at the display steps are the Trajectory Display's,
// its events are the series' closest approaches and absorptions, and a test
// of millions of steps hands out only the points asked for.
#include <gtest/gtest.h>

#include <charconv>
#include <map>
#include <sstream>

#include "app/batch/batch_run.h"
#include "encounter/trajectory.h"
#include "batch_run_helper.h"
#include "records/texts.h"
#include "series/series_starts.h"
#include "setup/field_names.h"
#include "svg_seen.h"

namespace {

using golden::Cells;

// The golden series' row whose first cell (the angle) is alpha, by column.
std::map<std::string, std::string> GoldenRow(const std::string& file, const std::string& alpha) {
  std::istringstream in(golden::Read(LAB_TEST_DATA "/series/" + file));
  std::string header, line;
  std::getline(in, header);
  while (std::getline(in, line) && Cells(line)[0] != alpha) {}
  std::map<std::string, std::string> row;
  const auto names = Cells(header), cells = Cells(line);
  for (std::size_t k = 0; k < names.size() && k < cells.size(); ++k) row[names[k]] = cells[k];
  return row;
}

encounter::Scenario ScenarioOf(const std::string& test,
                               std::vector<std::pair<std::string, std::string>> fields) {
  return {test, std::move(fields), std::nullopt};
}

struct Followed {
  encounter::TrajectorySummary summary;
  std::vector<encounter::TrajectoryPoint> points;
};
Followed Follow(const encounter::Scenario& s, double alpha, encounter::TrajectoryOptions o) {
  Followed f;
  f.summary = encounter::RunTrajectory(s, alpha, o, [&](const encounter::TrajectoryPoint& p) {
    f.points.push_back(p);
  });
  return f;
}

struct EndCase {
  const char* golden;  // series/NAME.csv, as tests/data/series.txt runs it
  const char* test;
  std::vector<std::pair<std::string, std::string>> fields;
  const char* integrator;
  const char* alpha;
};

class TrajectoryEnd : public testing::TestWithParam<EndCase> {};

// The row the series printed, column by column (best aside: one test alone
// is always the best so far), and with --full the unrounded values from the
// last point.
TEST_P(TrajectoryEnd, LastPointIsTheSeriesRow) {
  const EndCase& c = GetParam();
  encounter::TrajectoryOptions o;
  o.integrator = c.integrator;
  o.every = 1000;
  const Followed f = Follow(ScenarioOf(c.test, c.fields), std::stod(c.alpha), o);
  auto expected = GoldenRow(c.golden, c.alpha);
  ASSERT_FALSE(expected.empty());
  const auto row = Cells(f.summary.row.csv.substr(0, f.summary.row.csv.size() - 1));
  const auto names = Cells("alpha,v1,v2,v3,vesc,vesc_heading,r3,rmin,v3_red,steps,end,best,ratio");
  for (std::size_t k = 0; k < names.size(); ++k)
    if (names[k] != "best") {
      EXPECT_EQ(row.at(k), expected[names[k]]) << names[k];
    }
  const encounter::TrajectoryPoint& last = f.points.back();
  EXPECT_EQ(last.events & encounter::kEnd, encounter::kEnd);
  EXPECT_EQ(std::to_string(last.step), expected["steps"]);
  if (!expected["energy_err"].empty()) {
    char printed[32];
    const auto end = std::to_chars(printed, printed + sizeof printed, last.energy_change,
                                   std::chars_format::general, 6).ptr;
    EXPECT_EQ(std::string(printed, end), expected["energy_err"]);
  }
  if (expected.count("v1_kms")) {
    EXPECT_EQ(lab::ShortestText(last.t_s), expected["t_s"]);
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ(lab::ShortestText(last.v_kms[k]), expected["v" + std::to_string(k + 1) + "_kms"]);
  }
  for (std::size_t k = 1; k < f.points.size(); ++k) ASSERT_GE(f.points[k].t_s, f.points[k - 1].t_s);
}

INSTANTIATE_TEST_SUITE_P(
    Golden, TrajectoryEnd,
    testing::Values(
        EndCase{"full-0.csv", "0", {{"end", "30"}}, "euler-sums", "10"},
        EndCase{"preset-2.csv", "2", {{"end", "30"}}, "euler-sums", "20"},
        EndCase{"energy-2.csv", "2", {{"end", "20"}}, "euler-sums", "10"},
        EndCase{"free-m3-exactly-1.csv", "0", {{"m3", "1"}, {"start", "10"}, {"end", "90"}, {"dalpha", "80"}}, "euler-sums", "90"},
        EndCase{"preset-9.csv", "9", {{"start", "350.62"}, {"end", "350.626"}, {"dalpha", "0.006"}}, "euler-sums", "350.626"},
        EndCase{"gauss-radau-8.csv", "8", {{"end", "350.623"}}, "gauss-radau", "350.623"},
        EndCase{"accurate-111.csv", "111", {{"tdfact", "0.05"}, {"start", "40"}, {"end", "70"}}, "bulirsch-stoer", "60"}),
    [](const testing::TestParamInfo<EndCase>& info) {
      std::string name = std::string(info.param.golden) + "_" + info.param.alpha;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

// The events: an absorption where the series' test was absorbed, and in the
// central-mass regime as many closest approaches as end the test (2 here).
TEST(TrajectoryEvents, AreTheSeriesPassagesAndAbsorption) {
  struct Case {
    encounter::Scenario scenario;
    double alpha;
    const char* integrator;
    int closest, absorptions;
    int before_end;  // steps from the last closest approach to the end
  } cases[] = {
      // The fixed step finds the passage that ends the test one step late.
      {ScenarioOf("9", {{"start", "350.62"}, {"end", "350.626"}, {"dalpha", "0.006"}}), 350.626, "euler-sums", 2, 0, 1},
      {ScenarioOf("8", {{"end", "350.623"}}), 350.6225, "gauss-radau", 2, 0, 0},
      {ScenarioOf("0", {{"m3", "1"}, {"start", "90"}, {"end", "90"}}), 90, "euler-sums", -1, 1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.integrator + std::string(" ") + std::to_string(c.alpha));
    encounter::TrajectoryOptions o;
    o.integrator = c.integrator;
    o.every = 1000000000;
    const Followed f = Follow(c.scenario, c.alpha, o);
    int closest = 0, absorptions = 0;
    std::int64_t last_closest = -1;
    for (const auto& p : f.points) {
      closest += (p.events & encounter::kClosestApproach) != 0;
      absorptions += (p.events & encounter::kAbsorption) != 0;
      if (p.events & encounter::kClosestApproach) last_closest = p.step;
    }
    if (c.before_end >= 0) {
      EXPECT_EQ(f.points.back().step - last_closest, c.before_end);
    }
    if (c.closest >= 0) {
      EXPECT_EQ(closest, c.closest);
    }
    EXPECT_EQ(absorptions, c.absorptions);
    if (c.absorptions) {
      EXPECT_EQ(f.points.back().m_kg[2], 0);  // body 3: on equal masses the partner listed second
    }
  }
}

// Points at the display steps land where the Trajectory Display drew them
// (main view: the first of each body's points), in exactly those steps.
TEST(TrajectoryDisplaySteps, AreThePointsDrawn) {
  for (const golden::Entry& e : golden::Manifest("drawing.txt")) {
    if (e.name != "pair-2" && e.name != "central-9") continue;
    SCOPED_TRACE(e.name);
    const std::int64_t from = std::max<std::int64_t>(1, std::stoll(e.words[0]));
    const std::int64_t to = std::stoll(e.words[1]);
    encounter::Scenario scenario;
    lab::SeriesRequest request;
    for (std::size_t i = 2; i < e.words.size(); ++i) {
      const auto eq = e.words[i].find('=');
      const std::string name = e.words[i].substr(0, eq), text = e.words[i].substr(eq + 1);
      if (name == "test") {
        scenario.test = request.test = text;
      } else {
        scenario.fields.emplace_back(name, text);
        request.sets.emplace_back(lab::FieldOfName(name), text);
      }
    }
    // The views of the first test, as its set-up lays them out.
    lab::SimState s = lab::SeriesBase(request);
    lab::HeadlessPort port(s);
    ASSERT_TRUE(lab::PrepareNextStart(s, port));

    std::map<std::int64_t, std::vector<std::array<float, 2>>> drawn, followed;
    std::istringstream in(golden::Read(LAB_TEST_DATA "/drawing/" + e.name + ".txt"));
    for (std::string line; std::getline(in, line);) {
      std::istringstream w(line);
      std::int64_t step = 0;
      float x = 0, y = 0;
      w >> step >> x >> y;
      if (step >= from) drawn[step].push_back({x, y});
    }
    encounter::TrajectoryOptions o;
    o.display_steps = true;
    o.max_steps = to;
    encounter::RunTrajectory(scenario, s.alpha, o, [&](const encounter::TrajectoryPoint& p) {
      if (p.step < from || p.step > to) return;
      for (int k = 0; k < 3; ++k) {
        if (!(p.m_kg[k] > 0)) continue;
        followed[p.step].push_back({static_cast<float>(s.xorg + s.xscale * p.x_km[k]),
                                    static_cast<float>(s.yorg - s.yscale * p.y_km[k])});
      }
    });
    ASSERT_EQ(followed.size(), drawn.size());
    for (const auto& [step, bodies] : followed) {
      SCOPED_TRACE(step);
      ASSERT_TRUE(drawn.count(step));
      const auto& points = drawn[step];
      const std::size_t views = points.size() / bodies.size();
      for (std::size_t b = 0; b < bodies.size(); ++b) EXPECT_EQ(bodies[b], points[b * views]);
    }
  }
}

// A test of 3.2 million steps with a point every 100000: the start, 31
// samples and the end, with the few events among them; nothing more.
TEST(TrajectoryEvery, HandsOutOnlyThePointsAskedFor) {
  encounter::TrajectoryOptions o;
  o.every = 100000;
  std::int64_t points = 0, plain = 0, last = 0;
  const auto summary = encounter::RunTrajectory(
      ScenarioOf("5", {{"start", "170"}, {"end", "170"}}), 170, o,
      [&](const encounter::TrajectoryPoint& p) {
        ++points;
        plain += p.events == 0 && p.step % 100000 == 0;
        last = p.step;
      });
  EXPECT_EQ(summary.points, points);
  EXPECT_EQ(plain, 32);
  EXPECT_LE(points, 40);
  EXPECT_EQ(last, 3166923);  // series/preset-5.csv
}

// The start states are the first points of the trajectories (the worked
// case of scenario 2's set-up: test_one_test).
TEST(StartStates, AreTheTestsFirstPoints) {
  const auto scenario = ScenarioOf("2", {{"end", "20"}});
  const auto starts = encounter::StartStates(scenario);
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_EQ(starts[2].alpha, 20);
  EXPECT_EQ(starts[0].x_km[0], -74800000);
  EXPECT_NEAR(starts[0].tdelta_s, 37.192441, 1e-6);
  encounter::TrajectoryOptions o;
  o.max_steps = 1;
  const Followed f = Follow(scenario, 20, o);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(f.points[0].x_km[k], starts[2].x_km[k]);
    EXPECT_EQ(f.points[0].vy_kms[k], starts[2].vy_kms[k]);
  }
}

// An accurate method sampled at the fixed step's times: both paths can be
// laid over each other (test 111 at 40 degrees, absorbed after 138 steps of
// bulirsch-stoer; the fixed step, 20 times finer, agrees to 1e-4 of the
// pair's separation before the encounter).
TEST(TrajectoryAccurate, SampledAtTheFixedStepsTimes) {
  const auto scenario = ScenarioOf("111", {{"tdfact", "0.05"}, {"start", "40"}, {"end", "70"}});
  encounter::TrajectoryOptions o;
  o.every = 10;
  std::map<double, encounter::TrajectoryPoint> fixed;
  for (const auto& p : Follow(scenario, 40, o).points) fixed[p.t_s] = p;
  o.integrator = "bulirsch-stoer";
  const auto accurate = Follow(scenario, 40, o).points;
  std::map<double, encounter::TrajectoryPoint> sampled;
  for (const auto& p : accurate)
    if (p.events == 0 && p.step > 0) sampled[p.t_s] = p;
  // Every sampling time of the fixed step before the accurate end, and no other.
  std::size_t expected = 0;
  for (const auto& [t, p] : fixed) expected += t > 0 && t < accurate.back().t_s;
  EXPECT_EQ(sampled.size(), expected);
  int compared = 0;
  for (const auto& [t, p] : sampled) {
    ASSERT_TRUE(fixed.count(t)) << t;
    if (compared++ < 3) {
      EXPECT_NEAR(p.x_km[2], fixed[t].x_km[2], 1e-4 * 1.496e8);
    }
  }
  EXPECT_GT(compared, 3);
}

// An angle the series does not start a test at, and every below 1.
TEST(TrajectoryRefusals, AreInputErrorsAndStatus2) {
  const auto scenario = ScenarioOf("2", {{"end", "30"}});
  encounter::TrajectoryOptions o;
  EXPECT_THROW(encounter::Trajectory(scenario, 25, o), encounter::InputError);
  EXPECT_THROW(encounter::Trajectory(scenario, 40, o), encounter::InputError);
  for (std::int64_t every : {0, -5}) {
    o.every = every;
    EXPECT_THROW(encounter::Trajectory(scenario, 20, o), encounter::InputError);
  }
  const std::vector<std::vector<std::string>> commands = {
      {"trajectory", "--test", "2", "--alpha", "25"},
      {"trajectory", "--test", "2", "--alpha", "20", "--every", "0"},
      {"trajectory", "--test", "2", "--alpha", "20", "--every", "-3"},
      {"trajectory", "--test", "2"},
      {"trajectory", "--test", "2", "--alpha", "20", "--shard", "1/2"},
  };
  for (const auto& args : commands) {
    const batch_test::Result r = batch_test::Batch(args);
    EXPECT_TRUE(batch_test::Refused(r, "encounter-batch"));
    EXPECT_EQ(batch_test::Lines(r.err), 1) << r.err;
  }
}

// The plot of the paths: every text inside the picture, the y label close
// to its tick labels whether they are short (AU) or long (km).
TEST(TrajectorySvg, TextsInsideAndTheYLabelBesideItsTicks) {
  for (const char* unit : {"au", "km"}) {
    SCOPED_TRACE(unit);
    const std::string svg = testing::TempDir() + "paths-" + unit + ".svg";
    std::ostringstream out, err;
    ASSERT_EQ(lab::RunBatch({"trajectory", "--test", "2", "--alpha", "20", "--unit", unit, "--svg", svg},
                            out, err), 0) << err.str();
    const std::string seen = svg_test::Seen(svg);
    EXPECT_NE(seen.find("text: y (" + std::string(unit[0] == 'a' ? "AU" : "km") + ")\n"), std::string::npos)
        << seen;
    EXPECT_NE(seen.find("text: closest approach\n"), std::string::npos) << seen;
    EXPECT_EQ(seen.find("outside:"), std::string::npos) << seen;
    EXPECT_GE(svg_test::Margin(seen, "y-gap"), 4) << seen;
    EXPECT_LE(svg_test::Margin(seen, "y-gap"), 12) << seen;
  }
}

}  // namespace
