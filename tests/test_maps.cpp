// Maps: the outcome over the start angle and one more field. A row is the
// series that field text gives; the pictures show the cells where they
// belong; shards merge to the map; refinement computes only where the
// outcome changes, and what it computes is the full grid's.

#include <gtest/gtest.h>

#include <cmath>

#include "batch_run_helper.h"
#include "encounter/map.h"
#include "png_read.h"
#include "series/map_refine.h"
#include "svg_seen.h"

namespace {

using batch_test::Batch;
using batch_test::Result;
using batch_test::With;
using golden::Cells;
using golden::Dir;
using png_test::Decode;
using png_test::Picture;

// Preset 2 at five angles, 0 to 40 degrees, by three start distances.
const std::vector<std::string> kSmallMap = {"map", "--quiet", "--jobs", "2", "--test", "2", "--set",
                                            "end=40", "--set", "dalpha=10", "--y", "dist2=2:3:3"};

// Each row is the series of its field text, typed as the scenario reads it:
// in AU with the unit, in km converted to AU (the only way it is read).
TEST(Map, EachRowIsTheSeriesOfItsFieldText) {
  struct Case {
    std::vector<std::string> scenario;
    std::string axis;
    bool log;
    std::vector<std::string> texts;  // as typed into the field
  };
  const Case cases[] = {
      {{"--test", "2", "--set", "end=40", "--set", "dalpha=10"}, "dist2=2:3:3", false,
       {"2 AU", "2.5 AU", "3 AU"}},
      {{"--test", "1", "--set", "end=30", "--set", "dalpha=10"}, "dist2=20000:29920000:2", false,
       {"0.00013368983957219252 AU", "0.2 AU"}},
      {{"--test", "2", "--set", "end=20", "--set", "dalpha=10", "--energy", "--full"}, "tdfact=0.5:2:3",
       true, {"0.5", "1", "2"}},
      {{"--test", "0", "--set", "end=20", "--set", "dalpha=10", "--unit", "au"}, "m3=0.001:0.01:2", false,
       {"0.001", "0.01"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.axis);
    std::vector<std::string> args = With({"map", "--quiet", "--jobs", "2", "--y", c.axis}, c.scenario);
    if (c.log) args.push_back("--y-log");
    const Result map = Batch(args);
    ASSERT_EQ(map.status, 0) << map.err;
    const auto lines = golden::SplitLines(map.out);
    const std::string name = c.axis.substr(0, c.axis.find('='));
    std::size_t at = 1;
    for (const std::string& text : c.texts) {
      const Result series = Batch(With(c.scenario, {"--set", name + "=" + text}), 2);
      ASSERT_EQ(series.status, 0) << series.err;
      const auto rows = golden::SplitLines(series.out);
      EXPECT_EQ(lines[0].substr(lines[0].find(',') + 1), rows[0]);  // the header after the y column
      for (std::size_t k = 1; k < rows.size(); ++k, ++at) {
        ASSERT_LT(at, lines.size());
        EXPECT_EQ(lines[at].substr(lines[at].find(',') + 1), rows[k]) << text;
      }
    }
    EXPECT_EQ(at, lines.size());
  }
}

TEST(Map, RefusesAnAxisTheScenarioDoesNotReadBeforeTheFirstTest) {
  for (const auto& c : golden::Table("map-refusals.txt")) {
    EXPECT_TRUE(batch_test::Refused(Batch(With({"map", "--quiet"}, c.args)), c.text));
  }
}

// 5 x 3 cells of 120 x 100 pixels; the first y value at the bottom. The
// outcomes are those of the preset's series at these distances.
TEST(Map, PictureColoursEachCellByItsOutcome) {
  const std::string dir = Dir("png");
  const Result r = Batch(With(kSmallMap, {"--map-png", dir + "end.png"}));
  ASSERT_EQ(r.status, 0) << r.err;
  const Picture p = Decode(dir + "end.png");
  ASSERT_EQ(p.width, 600u);
  ASSERT_EQ(p.height, 300u);
  struct Cell {
    unsigned column, row;  // angle index, y index
    std::array<int, 3> rgb;
  };
  const std::array<int, 3> blue{0, 114, 178}, vermillion{213, 94, 0}, black{0, 0, 0};
  const Cell cells[] = {
      {0, 1, blue},        // 2.5 AU, 0 degrees: escaped
      {1, 1, vermillion},  // 2.5 AU, 10 degrees: escaped, faster than its escape speed
      {2, 1, black},       // 2.5 AU, 20 degrees: absorbed
      {0, 0, vermillion},  // 2 AU, 0 degrees
      {2, 0, blue},        // 2 AU, 20 degrees
      {1, 2, blue},        // 3 AU, 10 degrees
      {4, 2, blue},        // 3 AU, 40 degrees
  };
  for (const Cell& c : cells) {
    SCOPED_TRACE(std::to_string(c.column) + "," + std::to_string(c.row));
    const unsigned top = (2 - c.row) * 100;
    for (const auto& [x, y] : {std::pair{c.column * 120, top}, std::pair{c.column * 120 + 119, top + 99}})
      EXPECT_EQ(p.At(x, y), c.rgb);
  }

  // By ratio: the smallest and the largest at the ends of viridis, an
  // absorbed test (no ratio) grey.
  ASSERT_EQ(Batch(With(kSmallMap, {"--map-png", dir + "ratio.png", "--colour", "ratio"})).status, 0);
  const Picture q = Decode(dir + "ratio.png");
  EXPECT_EQ(q.At(0 * 120, 250), (std::array<int, 3>{68, 1, 84}));     // 2 AU, 0 degrees: 0.411
  EXPECT_EQ(q.At(1 * 120, 50), (std::array<int, 3>{253, 231, 37}));   // 3 AU, 10 degrees: 0.612
  EXPECT_EQ(q.At(2 * 120, 150), (std::array<int, 3>{200, 200, 200}));  // absorbed
}

// Scenario 107 at a coarse time step: of these 2 x 3 cells the test at
// 350.59 degrees and t d fact 0.2 changes its total energy by 18.4 %.
const std::vector<std::string> kUntrustedMap = {
    "map",   "--quiet", "--jobs", "2",         "--test", "107",          "--set",         "start=350.58",
    "--set", "end=350.6", "--set", "dalpha=0.01", "--y",  "tdfact=0.2:0.3:2", "--max-steps", "30000"};

// The plot as a reader sees it (tests/data/svg): its axes named with their
// units, the legend in words, the slower outcome before the faster, a title
// and a subtitle naming the fields that stay (not the axis nor the angles),
// long ones wrapped, bytes of a field text that are not UTF-8 as U+FFFD,
// untrusted cells hatched only where there are some. Every text lies inside
// the picture, the y label close to its ticks, the legend close to the
// right edge.
TEST(Map, SvgShowsItsTextsInsideWithAxesLegendAndTitle) {
  const std::string long_text = "m3=0.00100000000000000000000000000000000000000000000000000000000000000000000000000";
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"end", With(kSmallMap, {"--set", "dist1=1 AU\xff\xfe<&"})},
      {"km", {"map", "--quiet", "--test", "1", "--set", "end=20", "--set", "dalpha=10", "--y",
              "dist2=20000:30000:2", "--max-steps", "300"}},
      {"ratio-long-subtitle", With(kSmallMap, {"--colour", "ratio", "--set", long_text})},
      {"untrusted", kUntrustedMap},
      {"untrusted-ratio", With(kUntrustedMap, {"--energy", "--colour", "ratio"})},
  };
  const std::string dir = Dir("svg");
  for (const auto& [name, args] : cases) {
    SCOPED_TRACE(name);
    const Result r = Batch(With(args, {"--map-svg", dir + "map.svg"}));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string seen = svg_test::Seen(dir + "map.svg");
    golden::Expect("svg/" + name + ".seen", seen);
    EXPECT_EQ(seen.find("outside:"), std::string::npos) << seen;
    EXPECT_GE(svg_test::Margin(seen, "y-gap"), 4) << seen;
    EXPECT_LE(svg_test::Margin(seen, "y-gap"), 12) << seen;
    EXPECT_LE(svg_test::Margin(seen, "right"), 24) << seen;
  }
}

// Untrusted cells in the PNG: black and white diagonal stripes every six
// pixels over the cell's colour (blue: escaped), beside a trusted cell.
TEST(Map, PictureHatchesUntrustedCells) {
  const std::string dir = Dir("hatched");
  ASSERT_EQ(Batch(With(kUntrustedMap, {"--map-png", dir + "map.png"})).status, 0);
  const Picture p = Decode(dir + "map.png");
  ASSERT_EQ(p.width, 600u);  // 3 x 2 cells of 200 x 150 pixels
  const std::array<int, 3> black{0, 0, 0}, white{255, 255, 255}, blue{0, 114, 178};
  struct Pixel {
    unsigned x, y;
    std::array<int, 3> rgb;
  };
  for (const Pixel& px : {Pixel{204, 150, black}, Pixel{205, 150, white}, Pixel{206, 150, blue},
                          Pixel{399, 299, blue}, Pixel{402, 150, blue}, Pixel{403, 150, blue}}) {
    SCOPED_TRACE(std::to_string(px.x) + "," + std::to_string(px.y));
    EXPECT_EQ(p.At(px.x, px.y), px.rgb);
  }
}

// Every computed cell is the full grid's; the others carry their parent's
// outcome under their own angle. At these angles the outcome changes little
// with the time step, in two places with the angle. What was computed and
// the error measured on the sample of 30 inferred cells are said on
// standard error, in the record and in both pictures.
TEST(Map, RefinementComputesCellsOfTheFullGrid) {
  const std::vector<std::string> map = {"map",       "--quiet",   "--jobs",  "2",     "--test",
                                        "2",         "--set",     "start=110", "--set", "end=149",
                                        "--set",     "dalpha=1",  "--y",     "tdfact=1:1.4:5"};
  const std::string dir = Dir("refined");
  const Result full = Batch(map);
  const Result refined = Batch(With(map, {"--refine", "2", "--map-svg", dir + "m.svg", "--map-png",
                                          dir + "m.png", "--meta", dir + "m.json"}));
  ASSERT_EQ(refined.status, 0) << refined.err;
  const auto f = golden::SplitLines(full.out), r = golden::SplitLines(refined.out);
  ASSERT_EQ(f.size(), r.size());
  EXPECT_EQ(r[0], f[0] + ",computed");
  int computed = 0, bests = 0;
  std::string row;  // best: a ratio below every earlier one of its own row
  double smallest = 0;
  for (std::size_t k = 1; k < f.size(); ++k) {
    auto a = Cells(r[k]);
    const auto b = Cells(f[k]);
    const bool was_computed = a.back() == "1";
    a.pop_back();
    EXPECT_EQ(a[1], b[1]);  // the angle
    if (a[0] != row) row = a[0], smallest = HUGE_VAL;
    const bool best = !a[13].empty() && std::stod(a[13]) < smallest;
    if (best) smallest = std::stod(a[13]), ++bests;
    EXPECT_EQ(a[12], best ? "1" : "0") << k;
    if (!was_computed) continue;
    ++computed;
    a[12] = b[12];  // best is decided along the refined row
    EXPECT_EQ(a, b) << k;
  }
  EXPECT_GE(bests, 5);  // at least the first test with a ratio in each row
  EXPECT_EQ(computed, 133);
  EXPECT_NE(refined.err.find("refined: 133 of 200 cells computed, sampled error 0.0 % [0.0, 11.4] "
                             "(0 of 30 inferred cells sampled ended otherwise)\n"),
            std::string::npos)
      << refined.err;
  const std::string words = "refined: 66.5 % computed, sampled error 0.0 % [0.0, 11.4]";
  // The title as one reads it, however many lines it is wrapped over.
  const std::string svg = golden::Read(dir + "m.svg"), bold = "font-weight=\"bold\">";
  std::string title;
  for (std::size_t at = 0; (at = svg.find(bold, at)) != std::string::npos;) {
    at += bold.size();
    title += (title.empty() ? "" : " ") + svg.substr(at, svg.find("</text>", at) - at);
  }
  EXPECT_NE(title.find("by start angle and t d fact (" + words + ")"), std::string::npos) << title;
  EXPECT_NE(golden::Read(dir + "m.png").find(std::string("tEXtDescription\0", 16) + words),
            std::string::npos);
  const std::string record = golden::Read(dir + "m.json");
  EXPECT_NE(record.find("\"cells_computed\": 133,\n    \"cells_sampled\": 30,\n    "
                        "\"sampled_differing\": 0,\n    \"refined\": \"" + words + "\""),
            std::string::npos)
      << record;
}

// One corner of the coarse grid differs: the four blocks it is a corner of
// differ, and they and a margin of one block around them are split (3 new
// cells each), at any spacing: 4 x 4 blocks, 3 x 3 where the corner lies on
// the first block's edge.
TEST(Map, RefinementSplitsAMarginAroundEveryBlockThatDiffers) {
  const struct {
    int levels;
    std::size_t split;
  } cases[] = {{3, 27}, {2, 48}, {1, 48}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.levels);
    lab::RefinePlan plan(32, 32, c.levels);
    const auto coarse = plan.Next();
    for (int r = 0; r < 32; ++r)
      for (std::int64_t col : coarse[r]) plan.Set(r, col, r == 8 && col == 8 ? 1 : 0);
    std::size_t split = 0;
    for (const auto& row : plan.Next()) split += row.size();
    EXPECT_EQ(split, c.split);
  }
}

// A line one cell wide that the coarse grid hits in one place only (at row
// 8, column 16) and steps over elsewhere: split by split the margin follows
// it from there to both ends; a rule that split only the blocks whose
// corners differ lost half of each of these lines.
TEST(Map, RefinementFollowsAThinLineFromWhereTheCoarseGridHitIt) {
  for (const double slope : {0.25, 0.5, 1.5}) {
    SCOPED_TRACE(slope);
    auto on_line = [slope](std::int64_t r, std::int64_t c) {
      return c == std::lround(16 + slope * static_cast<double>(r - 8));
    };
    lab::RefinePlan plan(17, 33, 3);
    for (auto batch = plan.Next(); !batch.empty(); batch = plan.Next())
      for (int r = 0; r < 17; ++r)
        for (std::int64_t c : batch[r]) plan.Set(r, c, on_line(r, c) ? 1 : 0);
    EXPECT_LT(plan.computed(), 17 * 33 * 55 / 100);
    for (int r = 0; r < 17; ++r) {
      for (std::int64_t c = 0; c < 33; ++c) {
        const std::int64_t s = plan.Source(r, c);
        EXPECT_EQ(on_line(s / 33, s % 33), on_line(r, c)) << r << "," << c;
      }
    }
  }
}

// The sample of the cells refinement left: 3 % of them, at least 30 (all
// when fewer); each one Set counts as computed, and as differing when it
// ends otherwise than inferred. The same cells every time.
TEST(Map, RefinementSamplesTheCellsItInferred) {
  const struct {
    int rows;
    std::int64_t columns;
    std::int64_t sampled;
  } cases[] = {{9, 9, 30}, {5, 5, 21}, {100, 360, 1013}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + " x " + std::to_string(c.columns));
    lab::RefinePlan plan(c.rows, c.columns, 2), again(c.rows, c.columns, 2);
    for (auto batch = plan.Next(); !batch.empty(); batch = plan.Next())
      for (int r = 0; r < c.rows; ++r)
        for (std::int64_t col : batch[r]) plan.Set(r, col, 0);
    for (auto batch = again.Next(); !batch.empty(); batch = again.Next())
      for (int r = 0; r < c.rows; ++r)
        for (std::int64_t col : batch[r]) again.Set(r, col, 0);
    const std::int64_t before = plan.computed();
    const auto sample = plan.Sample();
    EXPECT_EQ(sample, again.Sample());
    std::int64_t odd = 0;
    for (int r = 0; r < c.rows; ++r) {
      for (std::int64_t col : sample[r]) {
        EXPECT_NE(plan.Source(r, col), r * c.columns + col);  // not computed before
        plan.Set(r, col, (r + col) % 2);
        odd += (r + col) % 2;
      }
    }
    EXPECT_EQ(plan.sampled(), c.sampled);
    EXPECT_EQ(plan.computed(), before + c.sampled);
    EXPECT_EQ(plan.sampled_differing(), odd);
  }
}

// Wilson's score interval at 95 % against published values, and the words
// that carry it (tests/data/wilson.txt).
TEST(Map, SampledErrorIsWilsonsInterval) {
  for (const auto& c : golden::Table("wilson.txt")) {
    SCOPED_TRACE(c.args.at(0) + " of " + c.args.at(1));
    const lab::SampledError e = lab::WilsonInterval(std::stoll(c.args[0]), std::stoll(c.args[1]));
    EXPECT_NEAR(e.low, std::stod(c.args.at(2)), 5e-5);
    EXPECT_NEAR(e.high, std::stod(c.args.at(3)), 5e-5);
    EXPECT_EQ(lab::RefinedWords(9000, 36000, e), c.text);
  }
}

// The coarse grid keeps two cells each way that has more than one: levels
// that would leave it one cell across are cut to those that fit, with a
// warning naming them, so that an absorbed cell is not painted over.
TEST(Map, RefinementKeepsTwoCoarseCellsEachWay) {
  const struct {
    int rows;
    std::int64_t columns;
    int levels, usable;
  } cases[] = {{100, 360, 3, 3}, {3, 12, 3, 1}, {3, 2, 3, 0}, {1, 360, 20, 8},
               {5, 40, 2, 2},    {64, 64, 6, 5}, {12, 3, 4, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + " x " + std::to_string(c.columns));
    EXPECT_EQ(lab::UsableRefineLevels(c.rows, c.columns, c.levels), c.usable);
    EXPECT_EQ(lab::RefineLevelsWarning(c.rows, c.columns, c.levels).empty(), c.usable == c.levels);
  }
  lab::RefinePlan plan(3, 12, 3);  // every second cell of rows 0 and 2
  const auto coarse = plan.Next();
  EXPECT_EQ(coarse[0], (std::vector<std::int64_t>{0, 2, 4, 6, 8, 10}));
  EXPECT_TRUE(coarse[1].empty());
  EXPECT_EQ(coarse[2], coarse[0]);
}

// Maps whose standard error is pinned (tests/data/maps.txt): the summary's
// fractions with their standard errors, refinement's counts and warnings,
// the untrusted tests and the caveats of each row.
class MapStandardError : public testing::TestWithParam<golden::Entry> {};

TEST_P(MapStandardError, IsTheKnownOne) {
  const Result r = Batch(With({"map", "--quiet", "--jobs", "2"}, GetParam().words));
  EXPECT_EQ(r.status, 0);
  golden::Expect("maps/" + GetParam().name + ".err", r.err);
}

INSTANTIATE_TEST_SUITE_P(Golden, MapStandardError, testing::ValuesIn(golden::Manifest("maps.txt")),
                         golden::TestName);

// The record of scenario 8's map by "t d fact" counts the four untrusted
// tests of each of its two rows, and the twenty warnings.
TEST(Map, RecordCountsTheUntrustedTestsOfEveryRow) {
  const std::string record = Dir("untrusted") + "m.json";
  ASSERT_EQ(Batch({"map", "--test", "8", "--quiet", "--jobs", "2", "--y", "tdfact=50:100:2", "--meta",
                   record}).status, 0);
  EXPECT_NE(golden::Read(record).find("\"warnings\": 20,\n  \"untrusted\": 8,"), std::string::npos)
      << golden::Read(record);
}

// The library hands out the same cells, with tallies per y value; shards
// split the cells in map order (15 in 4 shards) and merge decides best along
// each row again: both give the command line's bytes.
TEST(Map, LibraryAndShardsGiveTheCommandLinesLines) {
  encounter::Scenario scenario;
  scenario.test = "2";
  scenario.fields = {{"end", "40"}, {"dalpha", "10"}};
  encounter::MapOptions options;
  options.series.jobs = 2;
  std::string csv;
  const auto summary = encounter::RunMap(scenario, {"dist2", 2, 3, 3, false}, options,
                                         [&](const encounter::MapCell& c) { csv += c.row.csv; });
  const std::string whole = Batch(kSmallMap).out;
  EXPECT_EQ(summary.first_lines + csv, whole);
  ASSERT_EQ(summary.tallies.size(), 3u);
  EXPECT_EQ(summary.tallies[1].tests, 5);
  EXPECT_EQ(summary.tallies[1].ends[static_cast<int>(encounter::End::kAbsorbed)], 1);
  EXPECT_EQ(summary.tallies[1].red, 3);
  EXPECT_EQ(summary.computed, 15);
  const auto shards = batch_test::WriteShards(kSmallMap, 4, Dir("shards") + "s");
  EXPECT_NE(golden::Read(shards[0]).find(" tests 4 of 15 rows 3\n"), std::string::npos);
  EXPECT_EQ(Batch(With({"merge"}, shards)).out, whole);
}

}  // namespace
