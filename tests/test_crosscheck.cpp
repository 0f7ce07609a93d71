// encounter-batch --integrator and --crosscheck: the accurate method's
// columns, the rows it flags, and the same CSV however the work is spread.
#include <gtest/gtest.h>

#include <fstream>

#include "batch_run_helper.h"

namespace {

using batch_test::Batch;
using batch_test::Result;

std::vector<std::vector<std::string>> Cells(const std::string& csv) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(csv);
  std::string line;
  while (std::getline(in, line)) {
    rows.emplace_back();
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, ',')) rows.back().push_back(cell);
    if (!line.empty() && line.back() == ',') rows.back().push_back("");
  }
  return rows;
}

// Preset 111 with a step twenty times the usual: at 60 degrees the fixed
// step has body 2 slower than its escape speed, the accurate method faster.
const std::vector<std::string> kCoarse = {"--test",   "111",   "--set",  "tdfact=0.05", "--set",
                                          "start=40", "--set", "end=70", "--quiet"};

std::vector<std::string> With(std::vector<std::string> extra) {
  extra.insert(extra.begin(), kCoarse.begin(), kCoarse.end());
  return extra;
}

TEST(CrossCheck, FlagsTheRowsWhoseOutcomeDiffers) {
  const Result r = Batch(With({"--crosscheck", "--jobs", "1"}));
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "encounter-batch: crosscheck: 1 of 4 rows differ in end, best or v3_red from "
            "bulirsch-stoer\n");
  // At 60 degrees the outcomes differ; at 70 body 2 escaped under both.
  golden::Expect("series/crosscheck-111.csv", r.out);
}

TEST(CrossCheck, SameCsvForThreadsShardsAndMerge) {
  const Result serial = Batch(With({"--crosscheck", "--jobs", "1", "--energy"}));
  ASSERT_EQ(serial.status, 0);
  EXPECT_EQ(Batch(With({"--crosscheck", "--jobs", "2", "--energy"})).out, serial.out);
  std::vector<std::string> merge = {"merge"};
  for (int k = 1; k <= 3; ++k) {
    merge.push_back(testing::TempDir() + "cross" + std::to_string(k) + ".csv");
    std::ofstream(merge.back())
        << Batch(With({"--crosscheck", "--energy", "--shard", std::to_string(k) + "/3"})).out;
  }
  const Result merged = Batch(merge);
  EXPECT_EQ(merged.out, serial.out);
  EXPECT_EQ(merged.err, serial.err);
}

TEST(CrossCheck, AccurateMethodAloneGivesTheSameOutcomes) {
  const auto cross = Cells(Batch(With({"--crosscheck"})).out);
  const Result r = Batch(With({"--integrator", "bulirsch-stoer"}));
  ASSERT_EQ(r.status, 0);
  const auto rows = Cells(r.out);
  ASSERT_EQ(rows.size(), cross.size());
  for (std::size_t k = 1; k < rows.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(rows[k][10], cross[k][12]);        // end
    EXPECT_EQ(rows[k][8], cross[k][13]);         // v3_red
    EXPECT_EQ(rows[k][11], cross[k][14]);        // best
    EXPECT_EQ(rows[k].at(12), cross[k].at(15));  // ratio
    EXPECT_LT(std::stoll(rows[k][9]), 1000);     // a few hundred adaptive steps
  }
  EXPECT_EQ(Batch(With({"--integrator", "euler-sums"})).out, Batch(kCoarse).out);
}

}  // namespace
