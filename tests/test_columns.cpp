// The facts a series' output is made of, each kept in one place: the cells
// merge takes are exactly those the program prints (and any shards of a run
// merge back to its bytes), the end words, the distance a km value is typed
// as, and the column list the command line gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
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
  for (const auto& c : golden::Table("cell-forms.txt")) {
    SCOPED_TRACE(c.args.at(0) + " \"" + c.args.at(1) + "\"");
    const lab::Column* column = lab::ColumnNamed(c.args[0]);
    ASSERT_NE(column, nullptr);
    EXPECT_EQ(lab::CellReadsBack(*column, c.args[1]), c.text == "taken");
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
    auto merge = batch_test::WriteShards(args, shards, dir + std::to_string(run) + "-");
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
