// Long runs away from a terminal: the progress lines a log keeps and the
// last line of every run; the record of a run, read back by our own JSON
// reader, whose arguments and shell command line run the series again.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <thread>

#include "app/batch/progress.h"
#include "batch_run_helper.h"
#include "encounter/version.h"
#include "records/json_reader.h"
#include "records/texts.h"

namespace {

namespace fs = std::filesystem;
using batch_test::Batch;
using batch_test::Result;
using batch_test::With;
using golden::Dir;
using golden::Read;

// Whether text has the form of pattern, in which '*' stands for any
// characters within a line and '#' for one digit.
bool Fits(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return text.empty();
  if (pattern[0] == '*') {
    for (std::size_t n = 0;; ++n) {
      if (Fits(text.substr(n), pattern.substr(1))) return true;
      if (n == text.size() || text[n] == '\n') return false;
    }
  }
  if (text.empty()) return false;
  const bool same = pattern[0] == '#' ? std::isdigit(static_cast<unsigned char>(text[0])) != 0
                                      : text[0] == pattern[0];
  return same && Fits(text.substr(1), pattern.substr(1));
}

TEST(LogLines, SayHowFarHowFastAndHowLong) {
  const struct {
    std::string line, expected;
  } cases[] = {
      {lab::DurationText(59.96), "1 min 0 s"},
      {lab::DurationText(3599.6), "1 h 0 min"},
      {lab::DurationText(-1), "0.0 s"},
      {lab::DurationText(1e300), "277777777 h 47 min"},
      {lab::ProgressLogText(120, 1600, 1620000000, 180),
       "120 of 1600 tests after 3 min 0 s, 9.0 million steps/s, about 37 min 0 s left"},
      {lab::ProgressLogText(0, 1, 0, 60), "0 of 1 test after 1 min 0 s, 0.0 million steps/s"},
      {lab::LastLineText(91, 91, 2.8, 0, 0), "91 tests in 2.8 s, no warnings"},
      {lab::LastLineText(1, 1, 0.04, 1, 0), "1 test in 0.0 s, 1 warning"},
      {lab::LastLineText(67, 90, 43210, 2, SIGTERM),
       "stopped by SIGTERM after 67 of 90 tests in 12 h 0 min, 2 warnings"},
      {lab::LastLineText(3, 5, 1, 0, -1), "stopped after 3 of 5 tests in 1.0 s, no warnings"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.line, c.expected);
}

// Standard error into a file, as a batch system keeps it: a whole progress
// line every period until SIGTERM, then how far the run came. (With
// --quiet there is none: the last test below.)
TEST(LogLines, AFileGetsProgressLinesAndTheLastLine) {
  const std::string log = Dir("log") + "err.txt";
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    dup2(open("/dev/null", O_WRONLY), 1);
    execl(ENCOUNTER_BATCH, ENCOUNTER_BATCH, "--test", "2", "--set", "dalpha=0.1", "--jobs", "1",
          "--progress-every", "1", nullptr);
    _exit(127);
  }
  for (int i = 0; i < 600 && Read(log).find('\n') == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 143);
  const std::string text = Read(log);
  EXPECT_TRUE(Fits(text,
                   "encounter-batch: * of 1801 tests after 1.# s, * million steps/s*\n"
                   "encounter-batch: stopped by SIGTERM after * of 1801 tests in * s, no warnings\n"))
      << text;
}

// The last line of a run, on a terminal or not; --quiet keeps only the
// count of warnings.
TEST(LogLines, EveryRunEndsWithItsLastLine) {
  const std::vector<std::string> run = {"--test", "2", "--set", "end=20", "--max-steps", "500"};
  Result r = Batch(run);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Fits(r.err, "encounter-batch: 3 tests in 0.# s, no warnings\n")) << r.err;
  auto quiet = run;
  quiet.insert(quiet.end(), {"--quiet", "--set", "start=1x"});
  r = Batch(quiet);
  EXPECT_EQ(r.err.substr(r.err.find('\n') + 1), "encounter-batch: 1 warning\n");
  quiet.push_back("--progress-every=0");
  EXPECT_EQ(Batch(quiet).err, r.err);
  EXPECT_NE(Batch({"--progress-every", "-1"}).err.find("from 0 to 86400"), std::string::npos);
}

TEST(RunRecord, JsonReaderTakesOurRecordsAndRefusesTheRest) {
  std::string error;
  // Every byte a record may hold comes back as it was written, those that
  // are no part of UTF-8 too (alone, a surrogate, a sequence cut short).
  std::string all = "\xc3\xa9 \xf0\x9d\x84\x9e \xed\xa0\x80 \xe2\x82 \xc0\xaf";
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(lab::JsonString("1 AU\xff\xfe\xe2\x82"), "\"1 AU\\udcff\\udcfe\\udce2\\udc82\"");
  const auto doc = lab::ReadJson("{\"a\": [" + lab::JsonString(all) +
                                     ", -1.5e+3, true, false, null, {}], \"a\": \"\\ud834\\udd1e\\/\"}",
                                 &error);
  ASSERT_TRUE(doc) << error;
  ASSERT_EQ(doc->members.size(), 2u);
  const auto& items = doc->members[0].second.items;
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(items[0].text, all);
  EXPECT_EQ(items[1].text, "-1.5e+3");
  EXPECT_EQ(items[2].kind, lab::JsonValue::Kind::kTrue);
  EXPECT_EQ(items[4].kind, lab::JsonValue::Kind::kNull);
  EXPECT_EQ(items[5].kind, lab::JsonValue::Kind::kObject);
  EXPECT_EQ(doc->Member("a")->text, "\xf0\x9d\x84\x9e/");  // the last of a name
  EXPECT_EQ(doc->Member("b"), nullptr);

  for (const auto& c : golden::Table("json-refusals.txt")) {
    error.clear();
    EXPECT_FALSE(lab::ReadJson(c.args.at(0), &error)) << c.args[0];
    EXPECT_NE(error.find(c.text), std::string::npos) << c.args[0] << ": " << error;
  }
}

// The record of a shard counts its own tests beside those of the whole
// series (7 tests) or map (3 x 5 cells); the whole run's names no shard.
TEST(RunRecord, AShardsRecordCountsItsOwnTestsAndTheWholes) {
  const std::string meta = Dir("shard-records") + "run.json";
  const std::vector<std::string> series = {"--test", "2", "--set", "end=60", "--max-steps", "100"};
  const std::vector<std::string> map = {"map",  "--test", "2", "--set", "end=40", "--y",
                                        "dist2=2:3:3", "--max-steps", "100"};
  const struct {
    const std::vector<std::string>& run;
    std::string shard, in_series, to_run;
  } cases[] = {
      {series, "", "7", "7"},    {series, "1/3", "7", "3"}, {series, "3/3", "7", "2"},
      {series, "5/5", "7", "1"}, {series, "7/8", "7", "1"}, {series, "9/9", "7", "0"},
      {map, "2/4", "15", "4"},   {map, "", "15", "15"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.run.front() + " " + c.shard);
    const auto args = With(c.run, {"--quiet", "--meta", meta});
    ASSERT_EQ(Batch(c.shard.empty() ? args : With(args, {"--shard", c.shard})).status, 0);
    std::string error;
    const auto record = lab::ReadJson(Read(meta), &error);
    ASSERT_TRUE(record) << error;
    EXPECT_EQ(record->Member("tests_in_series")->text, c.in_series);
    EXPECT_EQ(record->Member("tests_to_run")->text, c.to_run);
    EXPECT_EQ(record->Member("tests_written")->text, c.to_run);
    const lab::JsonValue* shard = record->Member("shard");
    EXPECT_EQ(c.shard.empty() ? shard->kind == lab::JsonValue::Kind::kNull : shard->text == c.shard, true);
    if (const lab::JsonValue* m = record->Member("map")) {
      EXPECT_EQ(m->Member("rows")->text, "3");
      EXPECT_EQ(m->Member("columns")->text, "5");
      EXPECT_EQ(m->Member("cells_computed")->text, c.to_run);
    }
  }
}

// A run whose record names odd field texts and both forms of its files.
class Rerun : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = Dir(testing::UnitTest::GetInstance()->current_test_info()->name());
    record_ = dir_ + "run.json";
    const Result r = Batch({"--test", "2", "--set", "end=20", "--max-steps", "500", "--quiet",
                            "--set", "tdfact=2 it's\n\"x\"\x01\xff\xfe", "--shard", "2/2", "--jobs", "1", "--output",
                            dir_ + "out.csv", "--meta=" + record_});
    ASSERT_EQ(r.status, 0) << r.err;
    csv_ = Read(dir_ + "out.csv");
    ASSERT_EQ(batch_test::Lines(csv_), 4);
  }
  // The record with one text replaced.
  std::string Changed(const std::string& from, const std::string& to) {
    std::string text = Read(record_);
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    const std::string file = dir_ + "changed-" + std::to_string(++changed_) + ".json";
    std::ofstream(file) << text.replace(at, from.size(), to);
    return file;
  }
  std::string dir_, record_, csv_;
  int changed_ = 0;
};

TEST_F(Rerun, GivesTheSameBytesWithoutTouchingTheRecordedFiles) {
  const std::string record = Read(record_);
  fs::remove(dir_ + "out.csv");
  Result r = Batch({"--rerun", record_, "--jobs", "2", "--quiet"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, csv_);
  EXPECT_FALSE(fs::exists(dir_ + "out.csv"));
  EXPECT_EQ(Read(record_), record);
  // A new record of the rerun reruns the same series in its turn.
  r = Batch({"--rerun=" + record_, "--output", dir_ + "again.csv", "--meta", dir_ + "again.json", "--quiet"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(dir_ + "again.csv"), csv_);
  EXPECT_EQ(Batch({"--rerun", dir_ + "again.json", "--quiet"}).out, csv_);
}

TEST_F(Rerun, TheShellCommandLineRepeatsTheRun) {
  std::string error;
  const auto record = lab::ReadJson(Read(record_), &error);
  ASSERT_TRUE(record) << error;
  std::string command = record->Member("command_line")->text;
  ASSERT_EQ(command.rfind("encounter-batch ", 0), 0u) << command;
  EXPECT_EQ(lab::ShellWord("2 AU"), "'2 AU'");  // a blank alone quotes too
  command.replace(0, 15, ENCOUNTER_BATCH);
  fs::remove(dir_ + "out.csv");
  ASSERT_EQ(std::system(("/bin/sh -c " + lab::ShellWord(command) + " 2>/dev/null").c_str()), 0) << command;
  EXPECT_EQ(Read(dir_ + "out.csv"), csv_);
  const auto fields = record->Member("fields");
  ASSERT_TRUE(fields && fields->Member("tdfact"));
  EXPECT_EQ(fields->Member("tdfact")->Member("window")->text, "t d fact");
  EXPECT_EQ(fields->Member("m3")->Member("text")->text, "0.001");  // no leading blank
  EXPECT_EQ(record->Member("arguments")->items.size(), 16u);
}

TEST_F(Rerun, RefusesRecordsOfOtherVersionsSeriesOrPrograms) {
  const std::string version = encounter::Version();
  const struct {
    std::vector<std::string> args;
    std::string why;
  } cases[] = {
      {{"--rerun", Changed("\"version\": \"", "\"version\": \"0.")},
       "was written by version \"0." + version + "\" of encounter-batch; this is version " + version +
           ", whose results may differ: rerun it with version \"0." + version + "\""},
      {{"--rerun", Changed("\"series\": \"", "\"series\": \"0")}, "not the series \"0"},
      {{"--rerun", Changed("\"end=20\"", "\"end=30\"")}, "the record was changed"},
      {{"--rerun", Changed("\"program\": \"encounter-batch\"", "\"program\": \"x\"")},
       "is not the record of a run of encounter-batch --meta"},
      {{"--rerun", Changed("\"--test\", \"2\"", "\"--test\", 2")}, "an argument that is not a string"},
      {{"--rerun", Changed("\"host\"", "host")}, "is not the record of a run: line 50: a member's name"},
      {{"--rerun", dir_ + "none.json"}, "does not exist"},
      {{"--rerun", dir_}, "is not a file one can read"},
      {{"--rerun", record_, "--set", "end=30"}, "--set cannot be added"},
      {{"--rerun", record_, "--shard", "1/2"}, "--shard cannot be added"},
      // A record holds the arguments of a run, never an option that runs nothing.
      {{"--rerun", Changed("\"--test\", \"2\"", "\"--help\", \"--test\", \"2\""), "--output",
        dir_ + "o.csv", "--meta", dir_ + "o.json"},
       "holds the option --help, which runs no series"},
      {{"--rerun", Changed("\"--test\", \"2\"", "\"--test\", \"2\", \"--version\"")},
       "holds the option --version, which runs no series"},
      {{"--rerun", Changed("\"--test\", \"2\"", "\"--list-presets\", \"--test\", \"2\"")},
       "holds the option --list-presets, which runs no series"},
      {{"--rerun", Changed("\"--test\", \"2\"", "\"--rerun=x.json\", \"--test\", \"2\"")},
       "holds the option --rerun, which runs no series"},
      {{"map", "--rerun", record_}, "records a series, not a map"},
  };
  for (const auto& c : cases) {
    const Result r = Batch(c.args);
    EXPECT_TRUE(batch_test::Refused(r, c.why));
    EXPECT_EQ(batch_test::Lines(r.err), 1) << r.err;
    EXPECT_FALSE(fs::exists(dir_ + "o.json"));
  }
}

// Where the results go and how the work is spread may be added to a rerun,
// and what is added wins over the record (which ran with --jobs 1); nothing
// else may be added.
TEST_F(Rerun, AddedOptionsWinOverTheRecordAndNothingElseMayBeAdded) {
  const std::string again = dir_ + "again.json", out = dir_ + "again.csv", png = dir_ + "again.png";
  const struct {
    std::vector<std::string> added;
    std::string threads;
  } taken[] = {
      {{"--jobs", "2"}, "2"},
      {{"--jobs=3", "--lanes", "1", "--quiet"}, "3"},
      {{"--lanes=2", "--progress-every", "0"}, "1"},
      {{"--output", out, "--png", png}, "1"},
  };
  for (const auto& c : taken) {
    SCOPED_TRACE(c.added.front());
    const Result r = Batch(With(With({"--rerun", record_}, c.added), {"--meta", again}));
    ASSERT_EQ(r.status, 0) << r.err;
    const bool to_file = c.added.front() == "--output";
    EXPECT_EQ(to_file ? Read(out) : r.out, csv_);
    EXPECT_EQ(fs::exists(png), to_file);
    std::string error;
    const auto record = lab::ReadJson(Read(again), &error);
    ASSERT_TRUE(record) << error;
    EXPECT_EQ(record->Member("threads")->text, c.threads);
    // The record's arguments without its files, then those added.
    const auto& words = record->Member("arguments")->items;
    ASSERT_EQ(words.size(), 13 + c.added.size() + 2);
    EXPECT_EQ(words[12].text, "1");  // the recorded --jobs 1, overruled
    for (std::size_t k = 0; k < c.added.size(); ++k) EXPECT_EQ(words[13 + k].text, c.added[k]);
    fs::remove(out);
  }
  for (const char* option : {"--unit=km", "--integrator=gauss-radau", "--max-steps=100", "--full",
                             "--energy", "--crosscheck", "--test=2"}) {
    const std::string name = std::string(option).substr(0, std::string(option).find('='));
    EXPECT_TRUE(batch_test::Refused(Batch({"--rerun", record_, option}), name + " cannot be added"));
  }
}

// A map's record reruns as a map, with or without the word map, and refuses
// what a map's record cannot hold.
TEST_F(Rerun, RerunsAMapFromItsRecord) {
  const std::string record = dir_ + "map.json";
  const Result made = Batch({"map", "--test", "2", "--y", "dist2=1.5:3:2", "--set", "end=10",
                             "--max-steps", "300", "--quiet", "--map-png", dir_ + "map.png",
                             "--meta", record});
  ASSERT_EQ(made.status, 0) << made.err;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--rerun", record, "--quiet"},
        std::vector<std::string>{"map", "--rerun", record, "--quiet", "--jobs", "2", "--summary",
                                 "--colour", "ratio", "--map-svg", dir_ + "again.svg"}}) {
    const Result r = Batch(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, made.out);
  }
  EXPECT_TRUE(fs::exists(dir_ + "again.svg"));
  const std::string text = Read(record);
  std::ofstream(dir_ + "help.json") << std::string(text).replace(text.find("\"map\", "), 7, "\"map\", \"--help\", ");
  const struct {
    std::vector<std::string> args;
    const char* why;
  } cases[] = {
      {{"map", "--rerun", dir_ + "help.json"}, "holds the option --help, which runs no map"},
      {{"--rerun", dir_ + "help.json"}, "holds the option --help, which runs no map"},
      {{"map", "--rerun", record, "--refine", "1"}, "--refine cannot be added"},
  };
  for (const auto& c : cases) EXPECT_TRUE(batch_test::Refused(Batch(c.args), c.why));
}

}  // namespace
