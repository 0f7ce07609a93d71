// Whole series from the first to the last angle, as the batch runner drives
// them: the CSV it prints for every scenario, on one thread and on several,
// shards, the step limit, the picture, and bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "app/batch/batch_options.h"
#include "app/batch/batch_run.h"
#include "golden.h"

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

Result Batch(std::vector<std::string> args, int jobs) {
  args.insert(args.begin(), {"--quiet", "--jobs", std::to_string(jobs)});
  return Batch(args);
}

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

// Each --set name writes its own field; a field written twice keeps the last.
TEST(BatchOptions, NamesWriteTheirFields) {
  const std::pair<const char*, int> names[] = {{"m1", 0},    {"m2", 1},     {"m3", 2},
                                               {"dist1", 3}, {"dist2", 4},  {"start", 11},
                                               {"end", 12},  {"tdfact", 13}, {"dalpha", 14}};
  for (const auto& [name, field] : names) EXPECT_EQ(lab::FieldOfName(name), field) << name;
  EXPECT_EQ(lab::FieldOfName("test"), -1);
  std::string error;
  const auto o = lab::ParseBatchOptions({"--set", "end=10", "--unit", "km", "--set", "end=20"}, &error);
  ASSERT_TRUE(o);
  EXPECT_EQ(o->sets.back(), (std::pair<int, std::string>{12, "20"}));
  EXPECT_EQ(o->unit_au, false);
}

// Shards of a series, run on one thread or two, merge into the unsharded CSV.
TEST(BatchSeries, ShardsMergeIntoTheKnownCsv) {
  const auto entries = golden::Manifest("series.txt");
  const auto e = std::find_if(entries.begin(), entries.end(), [](auto& x) { return x.name == "energy-2"; });
  ASSERT_NE(e, entries.end());
  const std::string dir = testing::TempDir();
  std::vector<std::string> files;
  for (int k = 1; k <= 3; ++k) {
    files.push_back(dir + "shard" + std::to_string(k) + ".csv");
    auto args = e->words;
    args.insert(args.end(), {"--shard", std::to_string(k) + "/3"});
    std::ofstream(files.back()) << Batch(args, k == 2 ? 1 : 2).out;
  }
  const Result merged = Batch({"merge", files[2], files[0], files[1]});
  EXPECT_EQ(merged.status, 0);
  golden::Expect("series/energy-2.csv", merged.out);

  // Shards of another series, or an incomplete set, are refused.
  std::ofstream(files[1]) << Batch({"--test", "4", "--shard", "2/3", "--quiet"}).out;
  const Result mixed = Batch({"merge", files[2], files[0], files[1]});
  EXPECT_EQ(mixed.status, 2);
  EXPECT_EQ(mixed.out, "");
  EXPECT_NE(mixed.err.find("another series"), std::string::npos);
  EXPECT_EQ(Batch({"merge", files[0], files[2]}).status, 2);
}

// The limit presses Next at the first display step at which the test has
// run the limit, so the test ends in that step with the results of that step.
TEST(BatchSeries, StepLimitEndsTheTestAtTheFirstDisplayStepReachingIt) {
  for (const int jobs : {1, 2}) {
    const Result r = Batch({"--test", "108", "--set", "end=350.632", "--max-steps", "1000"}, jobs);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "alpha,v1,v2,v3,vesc,vesc_heading,r3,rmin,v3_red,steps,end,best,ratio\n"
              "350.63,0.023,1883.726,1016.414,2540.18,Vesc #3,1099.87,198.06,0,1000,limit,1,"
              "9.2696404894739988e-06\n"
              "350.632,0.023,1883.726,1016.414,2540.18,Vesc #3,1099.87,198.03,0,1000,limit,0,"
              "9.2696404911545596e-06\n");
  }
}

TEST(BatchSeries, MistakesAreOneLineOnStandardErrorAndStatusTwo) {
  for (const int jobs : {1, 2}) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--bogus"},
             {"--set", "m1"},
             {"--set", "mass=2"},
             {"--unit", "pc"},
             {"--max-steps", "-1"},
             {"--test"},
             {"--set", "dalpha=0"},                   // would never end
             {"--test", "0", "--set", "dist1=0 AU"},  // refused set-up
         }) {
      const Result r = Batch(args, jobs);
      EXPECT_EQ(r.status, 2) << args[0];
      EXPECT_EQ(r.out, "") << args[0];
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    // A decreasing angle with a start beyond the end runs exactly one test.
    const Result one = Batch({"--test", "2", "--set", "start=50", "--set", "end=30",
                              "--set", "dalpha=-10", "--max-steps", "10"}, jobs);
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(std::count(one.out.begin(), one.out.end(), '\n'), 2);
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
  const Result r = Batch({"--png", testing::TempDir() + "no/such/dir/x.png"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
}

}  // namespace
