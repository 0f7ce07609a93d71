// Whole series from the first to the last angle, as the batch runner drives
// them: the CSV it prints, the step limit, the pause, and bad input.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
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

// The preset-2 series to 30 degrees, to the last printed digit.
TEST(BatchSeries, PresetTwoToTheLastDigit) {
  const Result r = Batch({"--set", "end=30", "--test", "2"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "alpha,v1,v2,v3,vesc,vesc_heading,r3,rmin,v3_red,steps,end,best,ratio\n"
            "0,21.149,21.097,36.949,38.228,Vesc #3,2.5,0.06,0,416663,escaped,1,0.55323158669631634\n"
            "10,21.12,21.088,53.029,41.715,Vesc #3,2.5,0.01,1,351041,escaped,1,0.50554018422199742\n"
            "20,20.2,21.061,2110.611,2168.428,Vesc #3,1,0,0,249370,absorbed,0,\n"
            "30,21.098,21.093,53.218,43.435,Vesc #3,2.5,0.01,1,345314,escaped,1,0.48563115508671256\n");
}

// The limit presses Next at the first display step at which the test has
// run the limit, so the test ends in that step with the results of that step.
TEST(BatchSeries, StepLimitEndsTheTestAtTheFirstDisplayStepReachingIt) {
  const Result r = Batch({"--test", "108", "--set", "end=350.632", "--max-steps", "1000"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "alpha,v1,v2,v3,vesc,vesc_heading,r3,rmin,v3_red,steps,end,best,ratio\n"
            "350.63,0.023,1883.726,1016.414,2540.18,Vesc #3,1099.87,198.06,0,1000,limit,1,"
            "9.2696404894739988e-06\n"
            "350.632,0.023,1883.726,1016.414,2540.18,Vesc #3,1099.87,198.03,0,1000,limit,0,"
            "9.2696404911545596e-06\n");
}

TEST(BatchSeries, MistakesAreOneLineOnStandardErrorAndStatusTwo) {
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
    const Result r = Batch(args);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_EQ(r.out, "") << args[0];
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  // A decreasing angle with a start beyond the end runs exactly one test.
  const Result one = Batch({"--test", "2", "--set", "start=50", "--set", "end=30",
                            "--set", "dalpha=-10", "--max-steps", "10"});
  EXPECT_EQ(one.status, 0);
  EXPECT_EQ(std::count(one.out.begin(), one.out.end(), '\n'), 2);
}

}  // namespace

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Threads and shards change how the work is spread, never a digit of it.
TEST(BatchSeries, ThreadsAndShardsPrintTheSameCsv) {
  const std::vector<std::string> series = {"--test", "2", "--set", "end=40", "--quiet", "--energy"};
  auto with = [&](std::vector<std::string> extra) {
    extra.insert(extra.begin(), series.begin(), series.end());
    return Batch(extra);
  };
  const Result serial = with({"--jobs", "1"});
  ASSERT_EQ(serial.status, 0);
  EXPECT_EQ(with({"--jobs", "2"}).out, serial.out);
  EXPECT_EQ(with({"--jobs", "3"}).out, serial.out);

  const std::string dir = testing::TempDir();
  std::vector<std::string> files;
  for (int k = 1; k <= 3; ++k) {
    files.push_back(dir + "shard" + std::to_string(k) + ".csv");
    std::ofstream(files.back()) << with({"--shard", std::to_string(k) + "/3", "--jobs", "2"}).out;
  }
  std::vector<std::string> merge = {"merge", files[2], files[0], files[1]};
  EXPECT_EQ(Batch(merge).out, serial.out);

  // Shards of another series, or an incomplete set, are refused.
  std::ofstream(files[1]) << Batch({"--test", "4", "--shard", "2/3", "--quiet"}).out;
  const Result mixed = Batch(merge);
  EXPECT_EQ(mixed.status, 2);
  EXPECT_EQ(mixed.out, "");
  EXPECT_NE(mixed.err.find("another series"), std::string::npos);
  EXPECT_EQ(Batch({"merge", files[0], files[2]}).status, 2);
}

TEST(BatchSeries, PictureOfTheDrawingIsTheSameForAnyNumberOfThreads) {
  const std::string one = testing::TempDir() + "one.png", two = testing::TempDir() + "two.png";
  const std::vector<std::string> series = {"--test", "6.5", "--set", "end=166", "--quiet",
                                           "--max-steps", "20000", "--png"};
  auto args = series;
  args.insert(args.end(), {one, "--jobs", "1"});
  ASSERT_EQ(Batch(args).status, 0);
  args = series;
  args.insert(args.end(), {two, "--jobs", "2"});
  ASSERT_EQ(Batch(args).status, 0);
  const std::string png = ReadFile(one);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(png, ReadFile(two));

  // A picture that cannot be written stops the run before it starts.
  const Result r = Batch({"--png", testing::TempDir() + "no/such/dir/x.png"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
}

}  // namespace
