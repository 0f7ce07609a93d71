// encounter-batch --integrator and --crosscheck: the accurate method's
// columns, the rows it flags, and the same CSV however the work is spread.
#include <gtest/gtest.h>

#include <fstream>

#include "batch_run_helper.h"

namespace {

using batch_test::Batch;
using batch_test::Result;

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
            "gauss-radau\n");
  // At 60 degrees the outcomes differ; at 70 body 2 escaped under both.
  golden::Expect("series/crosscheck-111.csv", r.out);
}

TEST(CrossCheck, SameCsvForThreadsShardsAndMerge) {
  const Result serial = Batch(With({"--crosscheck", "--jobs", "1", "--energy"}));
  ASSERT_EQ(serial.status, 0);
  EXPECT_EQ(Batch(With({"--crosscheck", "--jobs", "2", "--energy"})).out, serial.out);
  const auto shards =
      batch_test::WriteShards(With({"--crosscheck", "--energy"}), 3, golden::Dir("crosscheck") + "s");
  const Result merged = Batch(batch_test::With({"merge"}, shards));
  EXPECT_EQ(merged.out, serial.out);
  EXPECT_EQ(merged.err, serial.err);
  // The fixed step named is the default.
  EXPECT_EQ(Batch(With({"--integrator", "euler-sums"})).out, Batch(kCoarse).out);
}

std::vector<std::vector<std::string>> Cells(const std::string& csv) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : golden::SplitLines(csv)) rows.push_back(golden::Cells(line));
  return rows;
}

// The two accurate methods print the same digits in every column but the
// steps, and ratios within 1e-10, over whole series.
TEST(AccurateMethods, GaussRadauPrintsTheDigitsOfBulirschStoer) {
  for (const char* preset : {"2", "8", "111"}) {
    SCOPED_TRACE(preset);
    const auto radau = Cells(Batch({"--test", preset, "--integrator", "gauss-radau"}, 2).out);
    const auto bs = Cells(Batch({"--test", preset, "--integrator", "bulirsch-stoer"}, 2).out);
    ASSERT_EQ(radau.size(), bs.size());
    ASSERT_GT(radau.size(), 6u);
    const auto& header = bs[0];
    for (std::size_t r = 1; r < bs.size(); ++r) {
      ASSERT_EQ(radau[r].size(), bs[r].size());
      for (std::size_t c = 0; c < header.size() && c < bs[r].size(); ++c) {
        if (header[c] == "steps") continue;
        if (header[c] == "ratio" && !bs[r][c].empty()) {
          const double ratio = std::stod(bs[r][c]);
          EXPECT_NEAR(std::stod(radau[r][c]), ratio, 1e-10 * ratio) << bs[r][0];
        } else {
          EXPECT_EQ(radau[r][c], bs[r][c]) << bs[r][0] << ' ' << header[c];
        }
      }
    }
  }
}

}  // namespace
