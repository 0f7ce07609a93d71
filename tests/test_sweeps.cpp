// Sweeps a study can rely on: shards that prove they are whole and a merge
// that refuses anything else, runs that stop cleanly on a signal or a failed
// write, the JSON record, the warnings, and pictures written only where a
// picture belongs.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "batch_run_helper.h"

namespace {

namespace fs = std::filesystem;

using batch_test::Batch;
using batch_test::Lines;
using batch_test::Result;
using golden::Read;

// A fresh directory for one test.
std::string Dir(const std::string& name) {
  const std::string dir = testing::TempDir() + "sweeps-" + std::to_string(getpid()) + "-" + name + "/";
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// The program itself, for what only a process shows: signals, exit status,
// standard output that fails.
enum class Stdout { kPipe, kDevFull, kClosed, kBrokenPipe };
struct Child {
  pid_t pid;
  int out, err;
};
Child Spawn(const std::vector<std::string>& args, Stdout stdout_kind = Stdout::kPipe) {
  int out[2], err[2];
  EXPECT_EQ(pipe(out), 0);
  EXPECT_EQ(pipe(err), 0);
  if (stdout_kind == Stdout::kBrokenPipe) close(out[0]);  // no reader from the start
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv{const_cast<char*>(ENCOUNTER_BATCH)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    dup2(err[1], 2);
    if (stdout_kind == Stdout::kDevFull) dup2(open("/dev/full", O_WRONLY), 1);
    if (stdout_kind == Stdout::kClosed) close(1);
    if (stdout_kind == Stdout::kPipe || stdout_kind == Stdout::kBrokenPipe) dup2(out[1], 1);
    if (stdout_kind == Stdout::kBrokenPipe) signal(SIGPIPE, SIG_IGN);
    for (int fd : {out[1], err[0], err[1]}) close(fd);
    if (stdout_kind != Stdout::kBrokenPipe) close(out[0]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  return {pid, out[0], err[0]};
}
std::string ReadAll(int fd) {
  std::string text;
  char buf[4096];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
  close(fd);
  return text;
}
int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
Result RunProgram(const std::vector<std::string>& args, Stdout stdout_kind) {
  const Child c = Spawn(args, stdout_kind);
  std::string out = stdout_kind == Stdout::kBrokenPipe ? "" : ReadAll(c.out);
  std::string err = ReadAll(c.err);
  return {Wait(c.pid), out, err};
}

// Three shards of a short series, and the CSV of the unsharded run.
class Shards : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new std::string(Dir("shards"));
    const std::vector<std::string> series = {"--test", "2", "--set", "end=60", "--max-steps",
                                             "3000", "--quiet", "--full"};
    auto args = series;
    whole_ = new std::string(Batch(args).out);
    for (int k = 1; k <= 3; ++k) {
      args = series;
      args.insert(args.end(), {"--shard", std::to_string(k) + "/3", "--jobs", "2"});
      texts_[k - 1] = new std::string(Batch(args).out);
    }
  }
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(*dir_ + name, std::ios::binary) << text;
    return *dir_ + name;
  }
  Result Merge(const std::string& second) {
    return Batch({"merge", Write("s1.csv", *texts_[0]), Write("s2.csv", second),
                  Write("s3.csv", *texts_[2])});
  }
  static std::string* dir_;
  static std::string* whole_;
  static std::string* texts_[3];
};
std::string* Shards::dir_;
std::string* Shards::whole_;
std::string* Shards::texts_[3];

TEST_F(Shards, StateTheirSizeAndMergeIntoTheUnshardedCsv) {
  const std::string& s2 = *texts_[1];  // tests 1 and 4 of 7
  EXPECT_EQ(s2.substr(0, s2.find(" series ")), "# encounter-batch shard 2/3");
  EXPECT_NE(s2.find(" tests 2 of 7\n"), std::string::npos);
  EXPECT_EQ(s2.substr(s2.rfind('#')), "# encounter-batch shard 2/3 complete, 2 tests\n");
  const Result r = Merge(s2);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, *whole_);
  // Written under another name first, then renamed.
  const std::string file = *dir_ + "merged.csv";
  EXPECT_EQ(Batch({"merge", "--output", file, *dir_ + "s3.csv", *dir_ + "s1.csv", *dir_ + "s2.csv"}).status, 0);
  EXPECT_EQ(Read(file), *whole_);
}

// Every way a shard can be damaged: refused with the file named, status 2,
// nothing on standard output, and the shard to run again listed.
TEST_F(Shards, MergeRefusesEveryDamagedShard) {
  const std::string s2 = *texts_[1];
  const std::size_t row1 = s2.find('\n', s2.find('\n') + 1) + 1;  // first row
  const std::size_t row2 = s2.find('\n', row1) + 1;
  const std::size_t end = s2.rfind('#');
  const std::size_t at = s2.find(",limit,", row2) + 9;  // the ratio after ",limit,best,"
  const std::string ratio = s2.substr(at, s2.find(',', at) - at);
  std::vector<std::pair<std::string, std::string>> cases = {  // the shard, the fault
      {s2.substr(0, row1), "cut short: 0 of 2 tests"},  // killed after the header
      {s2.substr(0, row2), "cut short: 1 of 2 tests"},  // after a row
      {s2.substr(0, row2 + 10), "cut off"},             // inside a row
      {s2.substr(0, end), "cut short: 2 of 2 tests and no last line"},
      {"", "is empty"},
      {std::string("\0\x01\x02garbage", 10), "binary"},
      {std::string(100000, 'x') + "\n", "longer than"},
      {s2.substr(0, row2) + s2.substr(row1), "where test 4 belongs"},  // a duplicated row
      {s2.substr(0, row1) + s2.substr(row2), "holds test \"4\" in line 3 where test 1 belongs"},
      {"# encounter-batch shard 1/2147483647 series x\ntest,alpha\n", "not the output of a shard"},
      {s2 + "1,2\n", "goes on after its last line"},
  };
  for (const auto& c : golden::Table("damaged-shards.txt")) {
    const std::string from = c.args.at(0) == "RATIO" ? ratio : c.args[0];
    std::string text = s2;
    ASSERT_NE(text.find(from), std::string::npos) << from;
    cases.emplace_back(text.replace(text.find(from), from.size(), c.args.at(1)), c.text);
  }
  for (const auto& [text, fault] : cases) {
    SCOPED_TRACE(fault);
    const Result r = Merge(text);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("\"" + *dir_ + "s2.csv\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(fault), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("run again: --shard K/3 for K = 2\n"), std::string::npos) << r.err;
  }
}

TEST_F(Shards, MergeRefusesIncompleteOrRepeatedSets) {
  const std::string s1 = Write("s1.csv", *texts_[0]), s3 = Write("s3.csv", *texts_[2]);
  const struct {
    std::vector<std::string> files;
    const char* fault;
  } cases[] = {
      {{s1}, "missing shards 2-3 of 3\n"},
      {{s1, s3}, "run again: --shard K/3 for K = 2\n"},
      {{s1, s1, s3}, "given twice"},
      {{s1, *dir_, s3}, "is a directory"},
      {{s1, "/dev/zero", s3}, "binary"},
      {{s1, *dir_ + "none.csv", s3}, "cannot be opened"},
      {{}, "name the shard files"},
  };
  for (const auto& c : cases) {
    auto args = c.files;
    args.insert(args.begin(), "merge");
    const Result r = Batch(args);
    EXPECT_EQ(r.status, 2) << c.fault;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.fault), std::string::npos) << r.err;
  }
}

// The record of a run is JSON a parser accepts, with what a methods section needs.
TEST(Provenance, MetaIsValidJsonWithTheRunsInputs) {
  const std::string dir = Dir("meta"), meta = dir + "run.json";
  const Result r = Batch({"--test", "2", "--set", "end=20", "--max-steps", "500", "--quiet",
                          "--jobs", "2", "--set", "tdfact=2\n\"x\"\x01", "--output", dir + "out.csv",
                          "--meta=" + meta});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Lines(Read(dir + "out.csv")), 4);
  const std::string check =
      "python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); "
      "assert d[\"tests_in_series\"]==3 and d[\"tests_written\"]==3 and d[\"threads\"]==2 and d[\"unit\"]==\"AU\"; "
      "assert d[\"derived\"][\"n stars\"]==\"3\" and d[\"fields\"][\"tdfact\"][\"text\"].startswith(\"2\\n\"); "
      "assert d[\"arguments\"][-1].startswith(\"--meta=\") and d[\"max_steps\"]==500; "
      "assert d[\"end_time\"].endswith(\"Z\") and len(d[\"series\"])==16' ";
  EXPECT_EQ(std::system((check + meta).c_str()), 0) << Read(meta);
}

// What the program does not do as asked, or does not trust, is said once.
TEST(Warnings, IgnoredAndSuspectInputIsNamed) {
  for (const auto& c : golden::Table("warnings.txt")) {
    auto args = c.args;
    args.insert(args.end(), {"--max-steps", "30000", "--set", "dalpha=1000", "--quiet"});
    const Result r = Batch(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("encounter-batch: warning: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
    EXPECT_EQ(r.err.substr(r.err.rfind("encounter-batch: ")), "encounter-batch: 1 warning\n");
  }
}

// A series without a body that moves: no NaN, and only the first of equal
// ratios goes into row 2.
TEST(Warnings, NoNumberThatIsNotFiniteReachesTheCsv) {
  const Result r = Batch({"--test", "0", "--set", "m2=0", "--set", "m3=0", "--energy", "--full",
                          "--set", "end=20", "--max-steps", "200"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.find("nan"), std::string::npos);
  EXPECT_EQ(r.out.find("inf"), std::string::npos);
  EXPECT_NE(r.out.find(",limit,1,,0,"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find(",limit,1,", r.out.find(",limit,1,") + 1), std::string::npos) << r.out;
}

TEST(Options, EqualsFormsUnitCaseAndPresetList) {
  const Result a = Batch({"--test=2", "--set=end=10", "--unit=KM", "--max-steps=100", "--quiet"});
  const Result b = Batch({"--test", "2", "--set", "end=10", "--unit", "km", "--max-steps", "100", "--quiet"});
  EXPECT_EQ(a.status, 0);
  EXPECT_EQ(a.out, b.out);
  EXPECT_NE(a.out.find(",100,limit,"), std::string::npos);
  const Result list = Batch({"--list-presets"});
  EXPECT_EQ(Lines(list.out), 21);
  EXPECT_NE(list.out.find("\n8  AU  4000000 1 1  1000 1100  350.6225 350.625 0.0005  100  central mass"),
            std::string::npos) << list.out;
}

// SIGINT or SIGTERM mid-run: whole lines, no shard end line, no picture or
// temporary file left, status 128 + the signal.
TEST(Interruption, StopsWithWholeLinesAndNoFilesLeft) {
  for (const auto& [sig, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
    const std::string dir = Dir("signal" + std::to_string(sig));
    const Child c = Spawn({"--test", "2", "--set", "dalpha=1", "--shard", "1/1", "--jobs", "2",
                           "--png", dir + "p.png", "--meta", dir + "m.json"});
    std::string out;
    char ch;
    while (Lines(out) < 3 && read(c.out, &ch, 1) == 1) out += ch;  // shard line, header, a row
    kill(c.pid, sig);
    out += ReadAll(c.out);
    const std::string err = ReadAll(c.err);
    EXPECT_EQ(Wait(c.pid), status);
    // The log says how far the run came.
    const std::string stopped = std::string("encounter-batch: stopped by ") +
                                (sig == SIGINT ? "SIGINT" : "SIGTERM") + " after ";
    EXPECT_EQ(err.rfind(stopped, 0), 0u) << err;
    EXPECT_NE(err.find(" of 181 tests in "), std::string::npos) << err;
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(out.find("complete"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir)) << fs::directory_iterator(dir)->path();
    std::ofstream(dir + "s.csv") << out;
    const Result merged = Batch({"merge", dir + "s.csv"});
    EXPECT_EQ(merged.status, 2);
    EXPECT_NE(merged.err.find("is cut short"), std::string::npos) << merged.err;
  }
}

// Standard output that cannot take the text: status 1 and a message, for a
// run, merge and the help alike.
TEST(Interruption, FailedWritesAreReported) {
  const std::string shard = Dir("writes") + "s.csv";
  std::ofstream(shard) << Batch({"--test", "2", "--set", "end=0", "--max-steps", "100", "--shard", "1/1"}).out;
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--test", "2", "--set", "end=20", "--max-steps", "100", "--quiet"}, {"merge", shard}, {"--help"}}) {
    for (Stdout kind : {Stdout::kDevFull, Stdout::kClosed, Stdout::kBrokenPipe}) {
      const Result r = RunProgram(args, kind);
      EXPECT_EQ(r.status, 1) << args[0] << static_cast<int>(kind);
      EXPECT_NE(r.err.find("cannot write the output"), std::string::npos) << r.err;
    }
  }
}

// Pictures go only to regular files or new names: a device, a FIFO or a
// directory is refused at once (nothing opened, nothing replaced); a link is
// followed; a refused set-up leaves an existing file as it was.
TEST(Pictures, OnlyRegularFilesAreReplaced) {
  const std::string dir = Dir("png");
  const std::vector<std::string> run = {"--test", "2", "--set", "end=0", "--max-steps", "100", "--quiet"};
  auto with_png = [&](const std::string& path, std::vector<std::string> extra = {}) {
    auto args = run;
    args.insert(args.end(), {"--png", path});
    args.insert(args.end(), extra.begin(), extra.end());
    return Batch(args);
  };
  ASSERT_EQ(mkfifo((dir + "fifo").c_str(), 0600), 0);
  for (const std::string& path : {std::string("/dev/null"), dir + "fifo", dir.substr(0, dir.size() - 1)}) {
    const Result r = with_png(path);
    EXPECT_EQ(r.status, 2) << path;
    EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
  }
  EXPECT_TRUE(fs::is_character_file("/dev/null"));

  std::ofstream(dir + "target.png") << "old";
  fs::permissions(dir + "target.png", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("target.png", dir + "link.png");
  EXPECT_EQ(with_png(dir + "link.png").status, 0);
  EXPECT_TRUE(fs::is_symlink(dir + "link.png"));
  EXPECT_EQ(Read(dir + "target.png").substr(1, 3), "PNG");
  EXPECT_EQ(fs::status(dir + "target.png").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  std::ofstream(dir + "kept.png") << "keep";
  fs::permissions(dir + "kept.png", fs::perms::owner_write);
  EXPECT_EQ(with_png(dir + "kept.png", {"--set", "dist1=0 AU"}).status, 2);
  EXPECT_EQ(fs::file_size(dir + "kept.png"), 4u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 4);  // no temporary left
}

}  // namespace
