// encounter-batch --integrator and --crosscheck: the accurate method's
// columns, the rows it flags, and the same CSV however the work is spread.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/batch/batch_run.h"

namespace {

struct Result {
  int status;
  std::string out, err;
};

Result Batch(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = lab::RunBatch(args, out, err);
  return {status, out.str(), err.str()};
}

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
  const auto rows = Cells(r.out);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
            "alpha,v1,v2,v3,vesc,vesc_heading,r3,rmin,v3_red,steps,end,best,acc_end,acc_v3_red,"
            "acc_best,acc_ratio,ratio_diff,differs,ratio");
  // alpha, v3_red, end, best, acc_end, acc_v3_red, acc_best, differs
  const char* expected[4][8] = {{"40", "0", "absorbed", "0", "absorbed", "0", "0", "0"},
                                {"50", "0", "absorbed", "0", "absorbed", "0", "0", "0"},
                                {"60", "0", "absorbed", "0", "absorbed", "1", "0", "1"},
                                {"70", "0", "escaped", "1", "escaped", "0", "1", "0"}};
  for (int k = 0; k < 4; ++k) {
    SCOPED_TRACE(k);
    const auto& c = rows[k + 1];
    ASSERT_EQ(c.size(), 19u);
    const std::string got[8] = {c[0], c[8], c[10], c[11], c[12], c[13], c[14], c[17]};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(got[i], expected[k][i]) << i;
  }
  // The last row escaped under both: its ratios and their difference.
  const auto& last = rows[4];
  const double fixed = std::stod(last[18]), accurate = std::stod(last[15]);
  EXPECT_NEAR(std::stod(last[16]), (fixed - accurate) / accurate,
              1e-3 * std::abs(fixed - accurate));
  EXPECT_NEAR(accurate, 0.603061309542, 1e-9);

  // The main columns are those of the fixed step, as without the check.
  const Result plain = Batch(With({"--jobs", "1"}));
  const auto plain_rows = Cells(plain.out);
  for (int k = 1; k <= 4; ++k) {
    EXPECT_EQ(std::vector<std::string>(rows[k].begin(), rows[k].begin() + 12),
              std::vector<std::string>(plain_rows[k].begin(), plain_rows[k].begin() + 12));
  }
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
  const Result wrong = Batch({"--integrator", "rk4"});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.err,
            "encounter-batch: --integrator takes euler-sums or bulirsch-stoer, not \"rk4\"\n");
}

}  // namespace
