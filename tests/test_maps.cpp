// Maps: the outcome over the start angle and one more field. A row is the
// series that field text gives; the pictures show the cells where they
// belong; shards merge to the map; refinement computes only where the
// outcome changes, and what it computes is the full grid's.
#include <png.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

#include "batch_run_helper.h"
#include "encounter/map.h"
#include "series/map_refine.h"
#include "svg_seen.h"

namespace {

using batch_test::Batch;
using batch_test::Result;
using golden::Cells;
using golden::Dir;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Preset 2 at five angles, 0 to 40 degrees, by three start distances.
const std::vector<std::string> kSmallMap = {"map", "--quiet", "--jobs", "2", "--test", "2", "--set",
                                            "end=40", "--set", "dalpha=10", "--y", "dist2=2:3:3"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

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
    const auto lines = Lines(map.out);
    const std::string name = c.axis.substr(0, c.axis.find('='));
    std::size_t at = 1;
    for (const std::string& text : c.texts) {
      const Result series = Batch(With(c.scenario, {"--set", name + "=" + text}), 2);
      ASSERT_EQ(series.status, 0) << series.err;
      const auto rows = Lines(series.out);
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
    SCOPED_TRACE(c.text);
    std::vector<std::string> args = {"map", "--quiet"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = Batch(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
  }
}

struct Picture {
  unsigned width = 0, height = 0;
  std::vector<unsigned char> rgb;
  std::array<int, 3> At(unsigned x, unsigned y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

Picture Decode(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Picture p;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return p;
  return {image.width, image.height, std::move(rgb)};
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

// The plot parses as XML, names its axes with their units and its legend in
// words; every text lies inside the picture, a long title or subtitle
// wrapped; the y label sits close to its ticks and the legend close to the
// right edge; untrusted cells are hatched only where there are some. Bytes
// of a field text that are not UTF-8 show as U+FFFD.
TEST(Map, SvgShowsItsTextsInsideWithAxesLegendAndTitle) {
  struct Case {
    std::string name;
    std::vector<std::string> args;
    std::vector<std::string> shown;
    std::string hatched;  // the cell's runs and the legend's swatch
  };
  const std::string long_text = "m3=0.00100000000000000000000000000000000000000000000000000000000000000000000000000";
  const Case cases[] = {
      {"end", With(kSmallMap, {"--set", "dist1=1 AU\xff\xfe<&"}),
       {"start angle (degrees)", "dist 2 (AU)", "Scenario 2: end of the test by start angle and dist 2",
        "escaped, v3 > vesc", "absorbed", "m3 = 0.001", "2.4", "40", "dist 1 = 1 AU\ufffd\ufffd<&",
        "t d fact = 2", "distances in AU", "3 x 5 cells"}, "0"},
      {"km", {"map", "--quiet", "--test", "1", "--set", "end=20", "--set", "dalpha=10", "--y",
              "dist2=20000:30000:2", "--max-steps", "300"},
       {"dist 2 (km)", "Scenario 1: ", "dist 1 = 10000", "m1 = 1", "distances in km", "2 x 3 cells"}, "0"},
      {"ratio, long subtitle", With(kSmallMap, {"--colour", "ratio", "--set", long_text}),
       {"ratio (log scale)", "no ratio", "0.5", "\ntext: dist 1 = 1, t d fact = 2;"}, "0"},
      {"untrusted", kUntrustedMap,
       {"end of the test", "escaped", "350.585", "untrusted (energy changed > 1 %)"}, "2"},
      {"untrusted by ratio", With(kUntrustedMap, {"--energy", "--colour", "ratio"}),
       {"ratio (log scale)", "untrusted (energy changed > 1 %)"}, "2"},
  };
  const std::string dir = Dir("svg");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Result r = Batch(With(c.args, {"--map-svg", dir + "map.svg"}));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string seen = svg_test::Seen(dir + "map.svg");
    for (const std::string& text : c.shown)
      EXPECT_NE(seen.find(text), std::string::npos) << text << " in\n" << seen;
    EXPECT_EQ(seen.find("outside:"), std::string::npos) << seen;
    // The subtitle names the fields that stay, not the axis nor the angles.
    const bool by_dist2 = std::any_of(c.args.begin(), c.args.end(),
                                      [](const std::string& a) { return a.rfind("dist2=", 0) == 0; });
    for (const char* field : {"dist 2 = ", "start = ", "end = ", "d alpha = "})
      if (by_dist2 || field != std::string("dist 2 = ")) {
        EXPECT_EQ(seen.find(field), std::string::npos) << field << " in\n" << seen;
      }
    EXPECT_NE(seen.find("hatched: " + c.hatched + "\n"), std::string::npos) << seen;
    EXPECT_EQ(seen.find("untrusted") == std::string::npos, c.hatched == "0") << seen;
    EXPECT_GE(svg_test::Margin(seen, "y-gap"), 4) << seen;
    EXPECT_LE(svg_test::Margin(seen, "y-gap"), 12) << seen;
    EXPECT_LE(svg_test::Margin(seen, "right"), 24) << seen;
    // The legend names each outcome once, the slower before the faster.
    const auto escaped = seen.find("text: escaped\n"), fast = seen.find("text: escaped, v3 > vesc\n");
    if (fast != std::string::npos) {
      EXPECT_LT(escaped, fast);
    }
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

// Shards split the cells in map order; merge decides best along each row
// again and gives the bytes of the unsharded map.
TEST(Map, ShardsMergeToTheUnshardedMap) {
  const std::string dir = Dir("shards");
  const std::vector<std::string> map = With(kSmallMap, {"--energy"});
  const Result whole = Batch(map);
  ASSERT_EQ(whole.status, 0) << whole.err;
  std::vector<std::string> merge = {"merge"};
  for (int k = 1; k <= 4; ++k) {
    const std::string file = dir + std::to_string(k) + ".csv";
    const Result shard = Batch(With(map, {"--shard", std::to_string(k) + "/4", "--output", file}));
    ASSERT_EQ(shard.status, 0) << shard.err;
    merge.push_back(file);
  }
  EXPECT_EQ(Lines(golden::Read(dir + "1.csv"))[0].substr(0, 29), "# encounter-batch shard 1/4 s");
  EXPECT_NE(golden::Read(dir + "1.csv").find(" tests 4 of 15 rows 3\n"), std::string::npos);
  const Result merged = Batch(merge);
  EXPECT_EQ(merged.status, 0) << merged.err;
  EXPECT_EQ(merged.out, whole.out);
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
  const auto f = Lines(full.out), r = Lines(refined.out);
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

// Twelve distances by 36 angles: the thin absorbed lines lie between the
// cells of a grid 4 times coarser. Their margins take in the whole map, so
// that its summary is the full grid's, the counts of computed and inferred
// cells beside it.
TEST(Map, RefinementFindsTheLinesItsCoarseGridSteppedOver) {
  const Result r = Batch({"map", "--quiet", "--jobs", "2", "--test", "2", "--set", "end=359", "--set",
                          "dalpha=10", "--y", "dist2=1.5:3:12", "--refine", "2", "--summary"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const std::string line : {
           "refined: 432 of 432 cells computed, none inferred\n",
           "\ndist2_au          tests   computed  inferred  escaped         absorbed        v3_red          "
           "untrusted\n",
           "\n1.5               36      36        0         0.944 \u00b1 0.038   0.056 \u00b1 0.038   "
           "0.333 \u00b1 0.079   0\n",
           "\n2.59090909090909  36      36        0         0.889 \u00b1 0.052   0.111 \u00b1 0.052   "
           "0.500 \u00b1 0.083   0\n"}) {
    EXPECT_NE(r.err.find(line), std::string::npos) << line << r.err;
  }
}

// A disk on a 64 x 64 grid: refinement finds its rim, computes a fraction of
// the grid and gives every cell the disk's value.
TEST(Map, RefinementFollowsTheRimOfARegion) {
  auto inside = [](int r, std::int64_t c) { return (r - 30) * (r - 30) + (c - 34) * (c - 34) < 400; };
  lab::RefinePlan plan(64, 64, 3);
  int batches = 0;
  for (auto batch = plan.Next(); !batch.empty(); batch = plan.Next(), ++batches)
    for (int r = 0; r < 64; ++r)
      for (std::int64_t c : batch[r]) plan.Set(r, c, inside(r, c) ? 1 : 0);
  EXPECT_GE(batches, 4);  // the coarse grid, three halvings, then tracing the rim
  EXPECT_GT(plan.computed(), 64 * 64 / 64);
  EXPECT_LT(plan.computed(), 64 * 64 * 35 / 100);
  for (int r = 0; r < 64; ++r) {
    for (std::int64_t c = 0; c < 64; ++c) {
      const std::int64_t s = plan.Source(r, c);
      ASSERT_GE(s, 0);
      EXPECT_EQ(inside(static_cast<int>(s / 64), s % 64), inside(r, c)) << r << "," << c;
    }
  }
  EXPECT_EQ(plan.Source(0, 0), 0);
  EXPECT_EQ(plan.Source(1, 1), 0);  // well outside the disk: the corner's value
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

// Wilson's score interval at 95 % against published values (Newcombe 1998,
// Statistics in Medicine 17, 857, method 3), and the words that carry it.
TEST(Map, SampledErrorIsWilsonsInterval) {
  const struct {
    std::int64_t k, n;
    double low, high;
    std::string words;  // of a map with 9000 of 36000 cells computed
  } cases[] = {
      {0, 30, 0, 0.1135, "refined: 25.0 % computed, sampled error 0.0 % [0.0, 11.4]"},
      {3, 30, 0.0346, 0.2562, "refined: 25.0 % computed, sampled error 10.0 % [3.4, 25.7]"},
      {81, 263, 0.2553, 0.3662, "refined: 25.0 % computed, sampled error 30.8 % [25.5, 36.7]"},
      {15, 148, 0.0624, 0.1605, "refined: 25.0 % computed, sampled error 10.1 % [6.2, 16.1]"},
      {0, 20, 0, 0.1611, "refined: 25.0 % computed, sampled error 0.0 % [0.0, 16.2]"},
      {1, 29, 0.0061, 0.1718, "refined: 25.0 % computed, sampled error 3.4 % [0.6, 17.2]"},
      {30, 30, 0.8865, 1, "refined: 25.0 % computed, sampled error 100.0 % [88.6, 100.0]"},
      {0, 0, 0, 1, "refined: 25.0 % computed, none inferred"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.k) + " of " + std::to_string(c.n));
    const lab::SampledError e = lab::WilsonInterval(c.k, c.n);
    EXPECT_NEAR(e.low, c.low, 5e-5);
    EXPECT_NEAR(e.high, c.high, 5e-5);
    EXPECT_EQ(lab::RefinedWords(9000, 36000, e), c.words);
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

  // 3 x 7 cells, one of them absorbed (at 2 AU): refined by the one level
  // that fits, the map still has it.
  const std::vector<std::string> map = {"map", "--quiet", "--jobs", "2", "--test", "2", "--set",
                                        "dalpha=30", "--y", "dist2=2:3:3", "--summary"};
  const std::string absorbed = "\n2         7       0.857 \u00b1 0.132   0.143 \u00b1 0.132   ";
  const Result full = Batch(map);
  EXPECT_NE(full.err.find(absorbed), std::string::npos) << full.err;
  const Result refined = Batch(With(map, {"--refine", "3"}));
  ASSERT_EQ(refined.status, 0) << refined.err;
  EXPECT_NE(refined.err.find("\n2         7       7         0         0.857 \u00b1 0.132   0.143 \u00b1 0.132   "),
            std::string::npos)
      << refined.err;
  EXPECT_NE(refined.err.find("warning: refinement by 3 levels would leave a coarse grid of one cell "
                             "across a map of 3 x 7 cells; refining by 1 level instead"),
            std::string::npos)
      << refined.err;
}

// The fractions of each end and of v3_red per y value, with their standard
// errors sqrt(p (1-p) / n): at 2.5 AU four of five escaped, three were red.
TEST(Map, SummaryGivesFractionsWithStandardErrors) {
  const Result r = Batch(With(kSmallMap, {"--summary"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("dist2_au  tests   escaped         absorbed        v3_red          untrusted\n"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("\n2.5       5       0.800 \u00b1 0.179   0.200 \u00b1 0.179   0.600 \u00b1 0.219   0\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("\n3         5       1.000 \u00b1 0.000   0.000 \u00b1 0.000   "),
            std::string::npos)
      << r.err;
  // A y value of fifteen digits keeps two blanks before its count.
  const Result wide = Batch({"map", "--quiet", "--jobs", "2", "--test", "2", "--set", "end=20",
                             "--set", "dalpha=10", "--max-steps", "200", "--y", "dist2=1.5:3:12",
                             "--summary"});
  ASSERT_EQ(wide.status, 0) << wide.err;
  EXPECT_NE(wide.err.find("\ndist2_au          tests   "), std::string::npos) << wide.err;
  EXPECT_NE(wide.err.find("\n1.63636363636364  3       "), std::string::npos) << wide.err;
}

// Scenario 8's row at its own "t d fact" (100) is its series: four of six
// tests changed their total energy by more than 1 % (energy_err 46, 5.1,
// 0.096, 0.10); at half the factor the same four (261, 21, 0.20, 0.44).
TEST(Map, SummaryCountsUntrustedTestsPerRow) {
  const std::string record = Dir("untrusted") + "m.json";
  const Result r = Batch({"map", "--test", "8", "--quiet", "--jobs", "2", "--y", "tdfact=50:100:2",
                          "--summary", "--meta", record});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* row : {"\n50        6       1.000 \u00b1 0.000   0.333 \u00b1 0.192   4\n",
                          "\n100       6       1.000 \u00b1 0.000   0.333 \u00b1 0.192   4\n"})
    EXPECT_NE(r.err.find(row), std::string::npos) << r.err;
  // Every test ends faster than a tenth of the speed of light, as in the
  // series: a caveat each, counted among the warnings but not as untrusted.
  std::size_t caveats = 0;
  for (auto at = r.err.find("Newtonian gravity no longer holds\n"); at != std::string::npos;
       at = r.err.find("Newtonian gravity no longer holds\n", at + 1))
    ++caveats;
  EXPECT_EQ(caveats, 12u) << r.err;
  EXPECT_EQ(r.err.substr(r.err.rfind("encounter-batch")), "encounter-batch: 20 warnings\n");
  EXPECT_NE(golden::Read(record).find("\"warnings\": 20,\n  \"untrusted\": 8,"), std::string::npos)
      << golden::Read(record);
}

// The library hands out the same cells, with tallies per y value.
TEST(Map, LibraryCellsAreTheCommandLinesLines) {
  encounter::Scenario scenario;
  scenario.test = "2";
  scenario.fields = {{"end", "40"}, {"dalpha", "10"}};
  encounter::MapOptions options;
  options.series.jobs = 2;
  std::string csv;
  const auto summary = encounter::RunMap(scenario, {"dist2", 2, 3, 3, false}, options,
                                         [&](const encounter::MapCell& c) { csv += c.row.csv; });
  EXPECT_EQ(summary.first_lines + csv, Batch(kSmallMap).out);
  ASSERT_EQ(summary.tallies.size(), 3u);
  EXPECT_EQ(summary.tallies[1].tests, 5);
  EXPECT_EQ(summary.tallies[1].ends[static_cast<int>(encounter::End::kAbsorbed)], 1);
  EXPECT_EQ(summary.tallies[1].red, 3);
  EXPECT_EQ(summary.computed, 15);
}

}  // namespace
