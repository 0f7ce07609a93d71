// Whole series from the first to the last angle, as the batch runner drives
// them: the CSV it prints for every scenario (also at the step limit and with
// the unrounded columns), on one thread and on several, the picture, and bad
// input.
#include <gtest/gtest.h>

#include "batch_run_helper.h"

namespace {

using batch_test::Batch;
using batch_test::Result;

// Every scenario (to its natural end: passages, receded, absorbed, escaped)
// and the boundary cases, to the last printed digit. The single-thread path
// is the run loop a user at the windows starts; the threaded one sets up the
// tests on their own and decides row 2 afterwards.
class Series : public testing::TestWithParam<golden::Entry> {};

TEST_P(Series, PrintsTheKnownCsvOnOneThreadAndOnTwo) {
  const golden::Entry& e = GetParam();
  if (e.slow && golden::kSanitized) GTEST_SKIP() << "a long series: run in the optimised build only";
  for (const int jobs : {1, 2}) {
    SCOPED_TRACE("--jobs " + std::to_string(jobs));
    const Result r = Batch(e.words, jobs);
    EXPECT_EQ(r.status, 0);
    // Standard error may warn (a coarse time step, an ignored field), no more.
    std::istringstream err(r.err);
    for (std::string line; std::getline(err, line);)
      EXPECT_NE(line.find("warning"), std::string::npos) << line;
    golden::Expect("series/" + e.name + ".csv", r.out);
  }
}

INSTANTIATE_TEST_SUITE_P(Golden, Series, testing::ValuesIn(golden::Manifest("series.txt")),
                         golden::TestName);

// Refused before the first step: one short line on standard error, with the
// value echoed quoted, status 2 and nothing on standard output.
TEST(BatchSeries, MistakesAreOneShortLineOnStandardErrorAndStatusTwo) {
  auto rows = golden::Table("refusals.txt");
  rows.push_back({{"--unit", std::string(100000, 'q')}, "...(100000 bytes)..."});
  for (const int jobs : {1, 2}) {
    for (const auto& c : rows) {
      SCOPED_TRACE(c.text);
      const Result r = Batch(c.args, jobs);
      EXPECT_TRUE(batch_test::Refused(r, c.text));
      EXPECT_EQ(batch_test::Lines(r.err), 1) << r.err;
      EXPECT_LT(r.err.size(), 300u);
    }
  }
}

// A number that names a scenario runs it, without a word on standard error.
TEST(BatchSeries, ScenarioNumbersThatNameAPresetRun) {
  for (const char* test : {"0", "2", "8"}) {
    SCOPED_TRACE(test);
    const Result r = Batch({"--test", test, "--set", "dalpha=1000", "--max-steps", "100", "--quiet"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(batch_test::Lines(r.out), 2) << r.out;
  }
}

// The drawing of a central-mass test in its three views, as a picture.
TEST(BatchSeries, PictureOfTheDrawing) {
  for (const int jobs : {1, 2}) {
    const std::string png = testing::TempDir() + "drawing" + std::to_string(jobs) + ".png";
    ASSERT_EQ(Batch({"--test", "9", "--set", "start=350.62", "--set", "end=350.622", "--png", png}, jobs).status, 0);
    golden::Expect("series/preset-9-drawing.png", golden::Read(png));
  }
  // A picture that cannot be written stops the run before it starts.
  EXPECT_TRUE(batch_test::Refused(Batch({"--png", testing::TempDir() + "no/such/dir/x.png"}), "cannot write"));
}

}  // namespace
