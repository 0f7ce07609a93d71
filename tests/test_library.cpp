// The public library as another program uses it: typed rows with the known
// numbers of scenario 2, its messages and errors as the command line words
// them, a stop that stops, and the scenarios it lists.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "encounter/encounter.h"

namespace {

encounter::Scenario Preset2(std::string end) {
  encounter::Scenario s;
  s.test = "2";
  s.fields = {{"end", std::move(end)}};
  return s;
}

TEST(Library, RowsCarryTheNumbersOfTheirCsvLines) {
  encounter::SeriesOptions options;
  options.jobs = 2;
  options.full = true;
  std::vector<encounter::Row> rows;
  const encounter::Summary summary =
      encounter::RunSeries(Preset2("10"), options, [&](const encounter::Row& r) { rows.push_back(r); });
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(summary.tests, 2);
  EXPECT_EQ(rows[1].test, 1);
  EXPECT_EQ(rows[1].alpha, 10);
  EXPECT_EQ(rows[1].v3, 53.029);
  EXPECT_EQ(rows[1].vesc, 41.715);
  EXPECT_EQ(rows[1].vesc_heading, "Vesc #3");
  EXPECT_EQ(rows[1].rmin, 0.01);
  EXPECT_TRUE(rows[1].v3_red);
  EXPECT_EQ(rows[1].steps, 351041);
  EXPECT_EQ(rows[1].end, encounter::End::kEscaped);
  EXPECT_TRUE(rows[1].best);
  EXPECT_EQ(rows[1].ratio, 0.50554018422199742);
  EXPECT_EQ(rows[1].vesc_body, 3);
  EXPECT_EQ(rows[0].csv.substr(0, 56),
            "0,21.149,21.097,36.949,38.228,Vesc #3,2.5,0.06,0,416663,");
  EXPECT_NE(summary.record_json.find("\"tests_written\": 2"), std::string::npos);
  EXPECT_NE(summary.record_json.find("\"--test=2\""), std::string::npos);
}

TEST(Library, RefusalsAreInputErrorsInTheCommandLinesWords) {
  const std::pair<std::vector<std::pair<std::string, std::string>>, std::string> cases[] = {
      {{{"mass", "2"}}, "unknown field \"mass\""},
      {{{"dalpha", "0"}}, "never reaches the last angle; the series would not end"},
      {{{"m3", "1e999"}}, "--set m3=\"1e999\": the number is not finite"},
  };
  for (const auto& [fields, words] : cases) {
    SCOPED_TRACE(words);
    encounter::Scenario s;
    s.fields = fields;
    try {
      encounter::Series series(s, {});
      ADD_FAILURE() << "no error";
    } catch (const encounter::InputError& e) {
      EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
    }
  }
  encounter::SeriesOptions options;
  options.integrator = "rk4";
  EXPECT_THROW(encounter::Series(encounter::Scenario{}, options), encounter::InputError);
}

// Options outside what they take are refused before anything runs, naming
// the field, with the words of the command line's refusals.
TEST(Library, OptionsAreCheckedAgainstTheTableOfOptions) {
  using Set = void (*)(encounter::SeriesOptions&);
  const std::pair<Set, std::string> cases[] = {
      {[](auto& o) { o.lanes = 3; }, "lanes takes 1, 2, 4 or 8, not 3"},
      {[](auto& o) { o.lanes = -1; }, "lanes takes 1, 2, 4 or 8, not -1"},
      {[](auto& o) { o.jobs = -1; }, "jobs takes a number of threads from 1 to 1024, not -1"},
      {[](auto& o) { o.jobs = 1025; }, "jobs takes a number of threads from 1 to 1024, not 1025"},
      {[](auto& o) { o.max_steps = -1; },
       "max_steps takes a whole number from 0 to 9223372036854775807, not -1"},
      {[](auto& o) { o.integrator = "rk4"; },
       "integrator takes euler-sums, gauss-radau or bulirsch-stoer, not \"rk4\""},
      {[](auto& o) { o.shard = 2; }, "shard and shards are given together, not 2 of 0"},
      {[](auto& o) { o.shard = 3, o.shards = 2; }, "shard takes a part from 1 to shards, not 3 of 2"},
      {[](auto& o) { o.picture_width = 9000, o.picture_height = 10; },
       "picture_width takes a number of pixels from 1 to 8000, not 9000"},
  };
  for (const auto& [set, words] : cases) {
    SCOPED_TRACE(words);
    encounter::SeriesOptions options;
    set(options);
    try {
      encounter::Series series(Preset2("0"), options);
      ADD_FAILURE() << "no error";
    } catch (const encounter::InputError& e) {
      EXPECT_EQ(e.what(), words);
    }
  }
}

// An option set from its text is read as the command line reads it.
TEST(Library, OptionsAreSetFromTheirTexts) {
  encounter::SeriesOptions o;
  encounter::SetOption(o, "lanes", "2");
  encounter::SetOption(o, "max_steps", "0");
  encounter::SetOption(o, "crosscheck", "true");
  EXPECT_EQ(o.lanes, 2);
  EXPECT_EQ(o.max_steps, 0);
  EXPECT_TRUE(o.crosscheck);
  for (const auto& [option, text, words] : std::initializer_list<std::array<std::string, 3>>{
           {"lanes", "0", "lanes takes 1, 2, 4 or 8, not \"0\""},
           {"jobs", "2x", "jobs takes a number of threads from 1 to 1024, not \"2x\""},
           {"max_steps", "9223372036854775808",
            "max_steps takes a whole number from 0 to 9223372036854775807, not \"9223372036854775808\""},
           {"energy", "yes", "energy takes true or false, not \"yes\""},
           {"speed", "1", "no option is called \"speed\""}}) {
    try {
      encounter::SetOption(o, option, text);
      ADD_FAILURE() << "no error for " << words;
    } catch (const encounter::InputError& e) {
      EXPECT_EQ(e.what(), words);
    }
  }
  encounter::MapAxis axis;
  encounter::MapOptions map;
  encounter::SetOption(axis, map, "y_from", "1.5");
  encounter::SetOption(axis, map, "refine", "2");
  encounter::SetOption(axis, map, "jobs", "3");  // a series' option of the map
  EXPECT_EQ(axis.from, 1.5);
  EXPECT_EQ(map.refine, 2);
  EXPECT_EQ(map.series.jobs, 3);
  EXPECT_THROW(encounter::SetOption(axis, map, "y_to", "inf"), encounter::InputError);
  EXPECT_THROW(encounter::SetOption(axis, map, "refine", "21"), encounter::InputError);
}

// Scenario 8 as preset: four of its six tests changed their total energy by
// more than 1 % (by 46, 5.1, 0.096 and 0.10, as the command line's warnings
// and energy_err say); the summary counts them and their rows say which. All
// six end faster than a tenth of the speed of light: caveats, not untrusted.
TEST(Library, UntrustedTestsAreCountedAndFlagged) {
  encounter::Scenario s;
  s.test = "8";
  encounter::SeriesOptions options;
  options.jobs = 2;
  std::vector<bool> flags;
  std::vector<std::string> warned;
  encounter::Series series(s, options);
  const encounter::Summary summary = series.Run(
      [&](const encounter::Row& r) { flags.push_back(r.untrusted); }, {}, {},
      [&](const std::string& w) { warned.push_back(w); });
  EXPECT_EQ(summary.untrusted, 4);
  EXPECT_EQ(summary.caveats, 6);
  EXPECT_EQ(warned.size(), 10u);
  EXPECT_EQ(flags, (std::vector<bool>{true, true, true, false, false, true}));
}

// A shard of the coarse preset 111 holds the tests at 40 and 60 degrees, and
// at 60 the two methods disagree.
TEST(Library, SummaryCountsAreTyped) {
  encounter::Scenario s;
  s.test = "111";
  s.fields = {{"tdfact", "0.05"}, {"start", "40"}, {"end", "70"}};
  encounter::SeriesOptions options;
  options.crosscheck = true;
  options.shard = 1;
  options.shards = 2;
  const encounter::Summary summary = encounter::RunSeries(s, options, {});
  EXPECT_EQ(summary.cross_rows, 2);
  EXPECT_EQ(summary.cross_differing, 1);
  EXPECT_EQ(summary.untrusted, 0);
  ASSERT_TRUE(summary.frame);
  EXPECT_EQ(summary.frame->shard, 1);
  EXPECT_EQ(summary.frame->shards, 2);
  EXPECT_EQ(summary.frame->tests, 2);
  EXPECT_EQ(summary.frame->tests_in_series, 4);
  EXPECT_EQ(summary.frame->version, encounter::Version());
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(summary.frame->crc32));
  EXPECT_NE(summary.last_lines.find(std::string("crc32 ") + hex), std::string::npos)
      << summary.last_lines;
}

TEST(Library, AStopEndsTheSeriesWithWholeRows) {
  for (int jobs : {1, 2}) {
    SCOPED_TRACE(jobs);
    encounter::SeriesOptions options;
    options.jobs = jobs;
    std::atomic<int> rows{0};
    EXPECT_THROW(encounter::RunSeries(Preset2("180"), options,
                                      [&](const encounter::Row& row) {
                                        EXPECT_EQ(row.csv.back(), '\n');
                                        ++rows;
                                      },
                                      {}, [&] { return rows.load() >= 1; }),
                 encounter::Stopped);
    EXPECT_GE(rows.load(), 1);
    EXPECT_LT(rows.load(), 19);
  }
}

TEST(Library, PresetsAreTheScenariosWithTheirRegimes) {
  std::string numbers, heavy, central;
  for (const encounter::Preset& p : encounter::Presets()) {
    numbers += p.number + ' ';
    if (p.regime == "heavy body 3") heavy += p.number + ' ';
    if (p.regime == "central mass") central += p.number + ' ';
  }
  EXPECT_EQ(numbers, "0 1 2 3 3.5 4 5 5.5 6 6.5 7 8 9 10 11 101 105 107 108 111 ");
  EXPECT_EQ(heavy, "5 5.5 6 6.5 7 105 ");
  EXPECT_EQ(central, "8 9 10 11 107 108 ");
}

}  // namespace
