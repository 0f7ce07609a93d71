// The public library as another program uses it: typed rows with the known
// numbers of scenario 2, its messages and errors as the command line words
// them, a stop that stops, and the scenarios it lists.
#include <gtest/gtest.h>

#include <atomic>
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
