// The facts a series' output is made of, each kept in one place: the cells
// merge takes are exactly those the program prints (and any shards of a run
// merge back to its bytes), the end words, the distance a km value is typed
// as, and the column list the command line gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>

#include "batch_run_helper.h"
#include "encounter/columns.h"
#include "encounter/units.h"
#include "records/columns.h"
#include "setup/units.h"
#include "simulation/test_row.h"
#include "state/sim_state.h"

namespace {

using batch_test::Batch;
using batch_test::Result;

// Cells as merge meets them in a shard: the printed forms are taken, anything
// else in the same column refused.
TEST(Columns, MergeTakesACellExactlyWhenItPrintsBackTheSame) {
  const struct {
    const char* column;
    const char* cell;
    bool taken;
  } cases[] = {
      {"alpha", "0.0720000000000001", true},  // 15 digits of 0.001 x 72
      {"alpha", "2.99999999999999E-05", true},
      {"alpha", "-12.5", true},
      {"alpha", "0.07200000000000010", false},  // a trailing zero the printer drops
      {"alpha", "2.99999999999999e-05", false},  // the fields print an upper-case E
      {"alpha", "7.2E-02", false},
      {"alpha", "+1", false},
      {"v1", "21.375", true},
      {"v1", "1.001", true},     // cut again from its double, it would read 1
      {"v1", "21.3751", false},  // a fourth decimal where speeds are cut to 3
      {"v1", "1.5E-05", false},
      {"r3", "2.97", true},
      {"r3", "2.971", false},
      {"v1", "-0", false},
      {"v1", "-1.5", false},  // a speed is not negative
      {"v1", "021.375", false},
      {"r3", "1.5E+15", true},
      {"steps", "100", true},
      {"steps", "0100", false},
      {"v3_red", "1", true},
      {"v3_red", "2", false},
      {"end", "escaped", true},
      {"end", "Escaped", false},
      {"end", "", false},
      {"acc_end", "", true},
      {"vesc_heading", "Vesc #3", true},
      {"vesc_heading", "Vesc #4", false},
      {"energy_err", "-1.23457e-06", true},
      {"energy_err", "-1.234567e-06", false},  // 7 digits where 6 are printed
      {"ratio_diff", "0.0123", true},
      {"ratio_diff", "0.01234", false},
      {"ratio", "0.46739130434782611", true},
      {"ratio", "0.4673913043478261", false},  // shortest, not 17 digits
      {"ratio", "", true},
      {"t_s", "0.4673913043478261", true},
      {"t_s", "0.46739130434782611", false},
      {"vesc_body", "3", true},
      {"ratio_body", "0", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.column) + " \"" + c.cell + "\"");
    const lab::Column* column = lab::ColumnNamed(c.column);
    ASSERT_NE(column, nullptr);
    EXPECT_EQ(lab::CellReadsBack(*column, c.cell), c.taken);
  }
}

// A scenario and options drawn at random, run whole and in shards that
// merge, in a random order, to the same bytes. Steps of 0.001 and 0.0003
// degrees give angles whose fifteen digits run past fifteen decimals.
TEST(Columns, ShardsOfAnyRunMergeToItsBytes) {
  const char* given = std::getenv("ENCOUNTER_TEST_SEED");
  const unsigned seed = given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10))
                              : std::random_device{}();
  std::cout << "seed " << seed << " (ENCOUNTER_TEST_SEED=" << seed << " repeats it)\n";
  std::mt19937 random(seed);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const std::string dir = testing::TempDir() + "columns-" + std::to_string(getpid()) + "/";
  std::filesystem::create_directories(dir);

  const char* const tests[] = {"0", "1", "2", "5"};
  const char* const steps[] = {"0.001", "0.0003", "7.5"};
  for (int run = 0; run < 8; ++run) {
    const bool map = run % 4 == 3;
    const std::string step = steps[run % 3];
    const int count = map ? 3 + pick(8) : 80 + pick(80);
    char end[32];
    std::snprintf(end, sizeof end, "%.6g", std::stod(step) * count);
    std::vector<std::string> args = {"--quiet", "--jobs", "1", "--max-steps", "100",
                                     "--test", map ? "2" : tests[pick(4)], "--set", "start=0",
                                     "--set", std::string("dalpha=") + step,
                                     "--set", std::string("end=") + end};
    if (map) args.insert(args.begin(), {"map", "--y", "dist2=2:3:2"});
    for (const char* option : {"--full", "--energy", "--crosscheck"})
      if (pick(2) == 1) args.push_back(option);
    std::string described;
    for (const auto& a : args) described += a + " ";
    SCOPED_TRACE(described);

    const Result whole = Batch(args);
    ASSERT_EQ(whole.status, 0) << whole.err;
    ASSERT_GE(batch_test::Lines(whole.out), map ? 2 * count : count);  // rows, not only a header
    const int shards = 2 + pick(4);
    std::vector<std::string> merge;
    for (int k = 1; k <= shards; ++k) {
      const std::string file = dir + std::to_string(run) + "-" + std::to_string(k) + ".csv";
      std::vector<std::string> shard = args;
      shard.insert(shard.end(), {"--shard", std::to_string(k) + "/" + std::to_string(shards),
                                 "--output", file});
      const Result r = Batch(shard);
      ASSERT_EQ(r.status, 0) << r.err;
      merge.push_back(file);
    }
    std::shuffle(merge.begin(), merge.end(), random);
    merge.insert(merge.begin(), "merge");
    const Result merged = Batch(merge);
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(merged.out, whole.out);
  }
  std::filesystem::remove_all(dir);
}

// The run loop's causes and the step limit, to the words of the column end.
TEST(Columns, EachEndHasItsWord) {
  const struct {
    int cause;
    bool limit;
    const char* word;
  } cases[] = {
      {lab::kEndEscaped, false, "escaped"},   {lab::kEndReceded, false, "receded"},
      {lab::kEndAbsorbed, false, "absorbed"}, {lab::kEndPassages, false, "passages"},
      {lab::kEndNext, false, "next"},         {lab::kEndNone, false, "none"},
      {lab::kEndEscaped, true, "limit"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.word);
    EXPECT_STREQ(lab::EndWord(c.cause, c.limit), c.word);
    EXPECT_EQ(encounter::EndOfName(c.word), lab::EndOfCause(c.cause, c.limit));
  }
  EXPECT_FALSE(encounter::EndOfName("escape").has_value());
}

// A km value is typed as the AU that reads back as exactly it where one does.
TEST(Units, DistanceTextReadsBackAsTheValue) {
  const struct {
    double value;
    encounter::Unit unit;
    const char* text;
    double km;
  } cases[] = {
      {2.5, encounter::Unit::kAU, "2.5 AU", 374000000},
      {30, encounter::Unit::kAU, "30 AU", 4488000000},
      {149600000, encounter::Unit::kKm, "1 AU", 149600000},
      {20000, encounter::Unit::kKm, "0.00013368983957219252 AU", 20000},
      {10000, encounter::Unit::kKm, "6.684491978609626e-05 AU", 10000},
      {25000, encounter::Unit::kKm, "0.00016711229946524063 AU", 25000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    double km = 0;
    EXPECT_EQ(encounter::DistanceText(c.value, c.unit, &km), c.text);
    EXPECT_EQ(km, c.km);
  }
  EXPECT_EQ(encounter::ShownUnit(std::string("2"), std::nullopt), encounter::Unit::kAU);
  EXPECT_EQ(encounter::ShownUnit(std::string("1"), std::nullopt), encounter::Unit::kKm);
  EXPECT_EQ(encounter::ShownUnit(std::string("2"), encounter::Unit::kKm), encounter::Unit::kKm);
  EXPECT_EQ(encounter::UnitOfName("Au"), encounter::Unit::kAU);
  EXPECT_FALSE(encounter::UnitOfName("pc").has_value());
}

// r3 and rmin are in the unit the scenario shows; the unrounded ones in km.
TEST(Columns, UnitsFollowTheScenario) {
  const struct {
    const char* name;
    encounter::Unit shown;
    const char* unit;
  } cases[] = {
      {"r3", encounter::Unit::kAU, "AU"},   {"rmin", encounter::Unit::kKm, "km"},
      {"r3_km", encounter::Unit::kAU, "km"}, {"v1", encounter::Unit::kAU, "km/s"},
      {"alpha", encounter::Unit::kKm, "deg"}, {"ratio", encounter::Unit::kKm, ""},
      {"nothing", encounter::Unit::kKm, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(encounter::ColumnUnit(c.name, c.shown), c.unit);
  }
}

}  // namespace
