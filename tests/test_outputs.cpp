// How a run or a merge ends and what it leaves behind: one exit status for
// each way out, a stop that comes through however the program waits, files
// that appear whole or not at all, never two outputs in one file, streams
// written into rather than replaced, and nothing but a regular file or a new
// name ever replaced.
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/batch/batch_options.h"
#include "program_helper.h"
#include "records/replacing_file.h"

namespace {

namespace fs = std::filesystem;

using batch_test::Batch;
using batch_test::Lines;
using batch_test::Result;
using batch_test::With;
using golden::Read;
using program_test::Child;
using program_test::Launch;
using program_test::ReadAll;
using program_test::RunWith;
using program_test::Spawn;
using program_test::SpawnWith;
using program_test::Stdout;
using program_test::Wait;
using golden::Dir;

// A text, or arguments, with "@" standing for the test's directory.
std::string At(const std::string& dir, std::string text) {
  for (std::size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, dir);
  return text;
}
std::vector<std::string> In(const std::string& dir, std::vector<std::string> args) {
  for (auto& a : args) a = At(dir, a);
  return args;
}

// Names in dir left by a write that did not finish.
int Temporaries(const std::string& dir) {
  int n = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    n += e.path().filename().string().find(".partial-") != std::string::npos;
  return n;
}

const std::vector<std::string> kShort = {"--test", "2", "--set", "end=20", "--max-steps", "100", "--quiet"};
const std::vector<std::string> kLong = {"--test", "2", "--set", "dalpha=1", "--jobs", "2", "--quiet"};

// The exit-status table of --help and the README, row by row: each way a
// run or a merge can end. A row that does not end in 0 leaves no output
// file; none leaves a temporary one.
TEST(ExitStatus, EveryRowOfTheTable) {
  const std::string dir = Dir("status");
  batch_test::WriteShards(kShort, 2, dir + "s");
  std::string bad = Read(dir + "s2.csv");
  bad[bad.find(",limit,") + 1] = 'L';
  std::ofstream(dir + "bad.csv") << bad;
  const std::vector<std::string> merge = {"merge", "@s1.csv", "@s2.csv"};
  enum Fifo { kNone, kSilent, kHalf };  // no FIFO; nobody writes; half a shard, then nothing
  const struct {
    const char* what;
    std::vector<std::string> args;
    Stdout out;
    rlim_t file_size;
    int signal;
    Fifo fifo;
    int status;
    const char* message;
  } cases[] = {
      {"done", With(kShort, {"--output", "@out.csv", "--meta", "@out.json"}), Stdout::kPipe, RLIM_INFINITY, 0, kNone, 0, ""},
      {"done: merge", With(merge, {"--output", "@out.csv"}), Stdout::kPipe, RLIM_INFINITY, 0, kNone, 0, ""},
      {"standard output full", kShort, Stdout::kDevFull, RLIM_INFINITY, 0, kNone, 1, "cannot write the output"},
      {"standard output closed", kShort, Stdout::kClosed, RLIM_INFINITY, 0, kNone, 1, "cannot write the output"},
      {"reader gone (| head)", kShort, Stdout::kReaderGone, RLIM_INFINITY, 0, kNone, 1, "Broken pipe"},
      {"reader gone, SIGPIPE ignored", kShort, Stdout::kBrokenPipe, RLIM_INFINITY, 0, kNone, 1, "Broken pipe"},
      {"merge: reader gone", merge, Stdout::kReaderGone, RLIM_INFINITY, 0, kNone, 1, "cannot write the output"},
      {"merge: standard output full", merge, Stdout::kDevFull, RLIM_INFINITY, 0, kNone, 1, "cannot write the output"},
      {"disk full: --output", With(kShort, {"--output", "@out.csv"}), Stdout::kPipe, 100, 0, kNone, 1, "cannot write"},
      {"disk full: --meta", With(kShort, {"--meta", "@out.json"}), Stdout::kPipe, 100, 0, kNone, 1, "cannot write"},
      {"disk full: --png", With(kShort, {"--png", "@out.png"}), Stdout::kPipe, 100, 0, kNone, 1, "cannot write"},
      {"disk full: merge --output", With(merge, {"--output", "@out.csv"}), Stdout::kPipe, 100, 0, kNone, 1, "cannot write"},
      {"bad option", {"--bogus"}, Stdout::kPipe, RLIM_INFINITY, 0, kNone, 2, "unknown option"},
      {"set-up refused", With(kShort, {"--set", "dalpha=0", "--output", "@out.csv"}), Stdout::kPipe, RLIM_INFINITY, 0, kNone, 2, "would not end"},
      {"shard refused", {"merge", "--output", "@out.csv", "@s1.csv", "@bad.csv"}, Stdout::kPipe, RLIM_INFINITY, 0, kNone, 2, "unreadable end"},
      {"two outputs, one file", With(kShort, {"--output", "@out.csv", "--png", "@out.csv"}), Stdout::kPipe, RLIM_INFINITY, 0, kNone, 2, "same file"},
      {"SIGINT", With(kLong, {"--output", "@out.csv", "--png", "@out.png"}), Stdout::kPipe, RLIM_INFINITY, SIGINT, kNone, 130, ""},
      {"SIGTERM", With(kLong, {"--meta", "@out.json"}), Stdout::kPipe, RLIM_INFINITY, SIGTERM, kNone, 143, ""},
      {"SIGHUP", kLong, Stdout::kPipe, RLIM_INFINITY, SIGHUP, kNone, 129, ""},
      {"SIGINT: merge opening a FIFO", {"merge", "--output", "@out.csv", "@s1.csv", "@fifo"}, Stdout::kPipe, RLIM_INFINITY, SIGINT, kSilent, 130, ""},
      {"SIGTERM: merge reading a FIFO", {"merge", "--output", "@out.csv", "@s1.csv", "@fifo"}, Stdout::kPipe, RLIM_INFINITY, SIGTERM, kHalf, 143, ""},
      {"SIGTERM: merge to standard output", {"merge", "@s1.csv", "@fifo"}, Stdout::kPipe, RLIM_INFINITY, SIGTERM, kHalf, 143, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* out : {"out.csv", "out.json", "out.png", "fifo"}) fs::remove(dir + out);
    int writer = -1;
    if (c.fifo != kNone) {
      ASSERT_EQ(mkfifo((dir + "fifo").c_str(), 0600), 0);
      if (c.fifo == kHalf) {
        const std::string half = Read(dir + "s2.csv").substr(0, bad.size() / 2);
        writer = open((dir + "fifo").c_str(), O_RDWR);
        ASSERT_EQ(write(writer, half.data(), half.size()), static_cast<ssize_t>(half.size()));
      }
    }
    const Child child = SpawnWith(Launch{In(dir, c.args), c.out, "", "", c.file_size});
    if (c.signal) {
      usleep(300000);  // at work, or waiting on the FIFO
      kill(child.pid, c.signal);
    }
    ReadAll(child.out);
    const std::string err = ReadAll(child.err);
    EXPECT_EQ(Wait(child.pid), c.status) << err;
    if (writer >= 0) close(writer);
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    EXPECT_EQ(fs::exists(dir + "out.csv"), c.status == 0) << err;
    EXPECT_EQ(Temporaries(dir), 0);
  }
}

// A help text or a listing read through `| head` ends quietly: the reader
// saw what it wanted, and nothing was lost.
TEST(ExitStatus, ListingsEndQuietlyWhenTheReaderHasGone) {
  const std::vector<std::vector<std::string>> listings = {
      {"--help"}, {"--version"}, {"--list-presets"}, {"--list-columns"}, {"map", "--help"}, {"trajectory", "--help"}};
  for (const auto& args : listings) {
    for (const Stdout out : {Stdout::kReaderGone, Stdout::kBrokenPipe}) {
      SCOPED_TRACE(args.front() + " " + args.back() + (out == Stdout::kBrokenPipe ? ", SIGPIPE ignored" : ""));
      const Child child = Spawn(args, out);
      const std::string err = ReadAll(child.err);
      EXPECT_EQ(Wait(child.pid), 0) << err;
      EXPECT_EQ(err, "");
    }
  }
}

// One exit-status table: the batch runner's page shows the one --help prints (and the
// man page is made from --help).
TEST(ExitStatus, OneTableInHelpAndDocs) {
  const std::string help = lab::SeriesHelp();
  const std::string table = help.substr(help.find("Exit status:\n"));
  EXPECT_NE(Read(LAB_SOURCE_DIR "/docs/batch.md").find("```text\n" + table + "```\n"), std::string::npos)
      << table;
}

// A run that waits to write to a reader that no longer reads still stops on
// SIGINT or SIGTERM: no file written, whole lines in the pipe.
TEST(Stops, ComeThroughAWriteThatWaits) {
  for (const auto& [sig, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
    const std::string dir = Dir("stalled" + std::to_string(sig));
    // Rows far faster than a pipe of 64 KiB that nobody reads takes them.
    const Child c = Spawn({"--test", "2", "--set", "dalpha=0.01", "--max-steps", "100", "--full",
                           "--quiet", "--meta", dir + "m.json"});
    int held = 0;
    for (int tries = 0, last = -1; tries < 600; ++tries, last = held) {  // until the pipe stays full
      usleep(100000);
      ioctl(c.out, FIONREAD, &held);
      if (held > 0 && held == last) break;
    }
    ASSERT_GT(held, 4096);
    kill(c.pid, sig);
    // Ended while the pipe is still full: reading it first would let the
    // write go on and the run find the stop at its next row.
    EXPECT_EQ(Wait(c.pid, 20), status);
    const std::string out = ReadAll(c.out);
    ReadAll(c.err);
    EXPECT_EQ(out.back(), '\n');
    EXPECT_TRUE(fs::is_empty(dir));
  }
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

// A stop reaches a test while it runs: one test of many minutes ends at once.
TEST(Interruption, ReachesARunningTest) {
  const Child c = Spawn({"--test", "2", "--set", "end=0", "--set", "tdfact=20000", "--max-steps", "0"});
  usleep(500000);
  kill(c.pid, SIGINT);
  EXPECT_EQ(Wait(c.pid, 20), 130);
  ReadAll(c.out);
  const std::string err = ReadAll(c.err);
  EXPECT_NE(err.find("stopped by SIGINT after 0 of 1 test in "), std::string::npos) << err;
}

// A picture replaces only a regular file or takes a new name; a run refused
// leaves the old picture as it was.
TEST(Pictures, OnlyRegularFilesAreReplaced) {
  const std::string dir = Dir("png");
  ASSERT_EQ(mkfifo((dir + "fifo").c_str(), 0600), 0);
  for (const std::string& path : {std::string("/dev/null"), dir + "fifo", dir.substr(0, dir.size() - 1)})
    EXPECT_TRUE(batch_test::Refused(Batch(With(kShort, {"--png", path})), "not a regular file"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));

  std::ofstream(dir + "kept.png") << "keep";
  fs::permissions(dir + "kept.png", fs::perms::owner_write);
  EXPECT_EQ(Batch(With(kShort, {"--png", dir + "kept.png", "--set", "dist1=0 AU"})).status, 2);
  EXPECT_EQ(fs::file_size(dir + "kept.png"), 4u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 2);  // no temporary left
}

// Two outputs that are one file, or an output that is one of merge's
// shards, are refused before any work: nothing written, nothing replaced.
TEST(Targets, OneFileForTwoOutputsIsRefused) {
  const std::string dir = Dir("targets");
  fs::create_directory(dir + "sub");
  batch_test::WriteShards(kShort, 2, dir + "s");
  const std::string s1 = Read(dir + "s1.csv");
  std::ofstream(dir + "r.csv") << "old";
  fs::create_symlink("r.csv", dir + "link.csv");
  fs::create_symlink("s1.csv", dir + "link-s1.csv");
  fs::create_hard_link(dir + "r.csv", dir + "hard.csv");
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--output", "@r.csv", "--meta", "@r.csv"}, "--meta \"@r.csv\" is the same file as --output \"@r.csv\""},
      {{"--output", "@r.csv", "--png", "@./r.csv"}, "--png \"@./r.csv\" is the same file as --output"},
      {{"--meta", "@link.csv", "--output", "@r.csv"}, "--meta \"@link.csv\" is the same file as --output \"@r.csv\""},
      {{"--meta", "@hard.csv", "--png", "@r.csv"}, "--meta \"@hard.csv\" is the same file as --png"},
      {{"--png", "@new.png", "--meta", "@sub/../new.png"}, "is the same file as --png \"@new.png\""},
      {{"merge", "--output", "@s1.csv", "@s1.csv", "@s2.csv"}, "\"@s1.csv\" is also the output"},
      {{"merge", "--output", "@link-s1.csv", "@s2.csv", "@s1.csv"}, "\"@s1.csv\" is also the output"},
  };
  for (const auto& c : cases) {
    const auto args = In(dir, c.args);
    const Result r = Batch(args[0] == "merge" ? args : With(kShort, args));
    EXPECT_TRUE(batch_test::Refused(r, At(dir, c.message)));
    EXPECT_EQ(Read(dir + "r.csv"), "old");
    EXPECT_EQ(Read(dir + "s1.csv"), s1);
    EXPECT_FALSE(fs::exists(dir + "new.png"));
    EXPECT_EQ(Temporaries(dir), 0);
  }
}

// A shard that merge's standard output or error is redirected to
// (`merge s1.csv s2.csv >> s2.csv`) would take the merge or the messages:
// refused before anything is read or written. Standard output unused
// (--output) is no clash.
TEST(Targets, MergeWritesIntoNoShardItReads) {
  const std::string dir = Dir("merge-streams");
  std::string shards[2];
  for (int k = 0; k < 2; ++k) shards[k] = Batch(With(kShort, {"--shard", std::to_string(k + 1) + "/2"})).out;
  const std::string whole = Batch(kShort).out;
  const struct {
    const char *out, *err;  // the files standard output and error are appended to
    std::vector<std::string> output;
    int status;
    const char* message;
  } cases[] = {
      {"s2.csv", "err.log", {}, 2, "\"@s2.csv\" is also the file standard output goes to"},
      {"out.log", "s1.csv", {}, 2, "\"@s1.csv\" is also the file standard error goes to"},
      {"s2.csv", "err.log", {"--output", "@merged.csv"}, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    for (const char* name : {"s1.csv", "s2.csv", "out.log", "err.log", "merged.csv"}) fs::remove(dir + name);
    for (int k = 0; k < 2; ++k) std::ofstream(dir + "s" + std::to_string(k + 1) + ".csv") << shards[k];
    const Result r = RunWith(Launch{In(dir, With({"merge", "@s1.csv", "@s2.csv"}, c.output)), Stdout::kFile,
                                    dir + c.out, dir + c.err, RLIM_INFINITY});
    EXPECT_EQ(r.status, c.status);
    const std::string said = Read(dir + c.err);
    EXPECT_NE(said.find(At(dir, c.message)), std::string::npos) << said;
    // Where standard error is a shard, the one line of the refusal follows it.
    const std::string s1 = Read(dir + "s1.csv");
    const bool err_in_s1 = c.err == std::string("s1.csv");
    EXPECT_EQ(s1.substr(0, shards[0].size()), shards[0]);
    EXPECT_EQ(std::count(s1.begin() + static_cast<std::ptrdiff_t>(shards[0].size()), s1.end(), '\n'),
              err_in_s1 ? 1 : 0);
    EXPECT_EQ(Read(dir + "s2.csv"), shards[1]);
    EXPECT_EQ(c.status == 0 ? Read(dir + "merged.csv") : "", c.status == 0 ? whole : "");
  }
}

// An output that is a symbolic link stays one: the file behind it is
// replaced and keeps its mode. The folder is opened at the start: renamed
// during the run, it receives the file under its new name.
TEST(Targets, ALinkStaysALinkAndItsFileKeepsItsMode) {
  const std::string dir = Dir("link");
  const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  for (const std::string option : {"--output", "--meta", "--png"}) {
    SCOPED_TRACE(option);
    fs::remove(dir + "link");
    fs::remove(dir + "behind");
    std::ofstream(dir + "behind") << "old";
    fs::permissions(dir + "behind", mode);
    fs::create_symlink("behind", dir + "link");
    ASSERT_EQ(Batch(With(kShort, {option, dir + "link"})).status, 0);
    EXPECT_TRUE(fs::is_symlink(dir + "link"));
    EXPECT_EQ(fs::read_symlink(dir + "link"), "behind");
    EXPECT_EQ(Read(dir + "behind").substr(0, 2), option == "--meta" ? "{\n" : option == "--png" ? "\x89P" : "al");
    EXPECT_EQ(fs::status(dir + "behind").permissions(), mode);
    EXPECT_EQ(Temporaries(dir), 0);
  }
}

TEST(Targets, AFolderRenamedDuringTheRunReceivesTheFile) {
  enum Target { kNewName, kExisting, kDiscarded };
  for (Target target : {kNewName, kExisting, kDiscarded}) {
    SCOPED_TRACE(target);
    const std::string dir = Dir("renamed");
    fs::create_directory(dir + "d");
    if (target == kExisting) std::ofstream(dir + "d/x.csv") << "old";
    lab::ReplacingFile file;
    std::string error;
    ASSERT_TRUE(file.Open(dir + "d/x.csv", &error)) << error;
    EXPECT_TRUE(file.Write("new\n"));
    fs::rename(dir + "d", dir + "d-old");
    if (target == kDiscarded) {
      file.Discard();
    } else {
      EXPECT_TRUE(file.Commit(&error)) << error;
    }
    EXPECT_EQ(fs::exists(dir + "d-old/x.csv") ? Read(dir + "d-old/x.csv") : "none",
              target == kDiscarded ? "none" : "new\n");
    EXPECT_FALSE(fs::exists(dir + "d"));
    EXPECT_EQ(Temporaries(dir), 0);
  }
}

// /dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N and links to them are
// written into: a log they are redirected to keeps what it held. A file the
// program's own standard output or error goes to is no target.
TEST(Targets, StreamsAreWrittenIntoNotReplaced) {
  const std::string dir = Dir("streams");
  fs::create_symlink("/dev/stderr", dir + "to-stderr");
  const struct {
    std::vector<std::string> args;
    bool into_stdout;  // else standard error
    int status;
    const char* text;  // what the log then holds after its old line
  } cases[] = {
      {{"--meta", "/dev/stderr"}, false, 0, "\"program\": \"encounter-batch\""},
      {{"--meta", "/proc/self/fd/2"}, false, 0, "\"program\": \"encounter-batch\""},
      {{"--meta", "/dev/fd/2"}, false, 0, "\"program\": \"encounter-batch\""},
      {{"--meta", "@to-stderr"}, false, 0, "\"program\": \"encounter-batch\""},
      {{"--output", "/dev/stdout"}, true, 0, "alpha,v1,v2"},
      {{"--output", "/proc/self/fd/1", "--meta", "/dev/stdout"}, true, 0, "\"program\""},
      {{"--meta", "@err.log"}, false, 2, "is the same file as the one standard error goes to"},
      {{"--png", "@out.log"}, true, 2, "is the same file as the one standard output goes to"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back());
    for (const char* log : {"out.log", "err.log"}) {
      fs::remove(dir + log);
      std::ofstream(dir + log) << "old line\n";
    }
    const std::string log = dir + (c.into_stdout ? "out.log" : "err.log");
    struct stat before {};
    stat(log.c_str(), &before);
    const Result r = RunWith(Launch{With(kShort, In(dir, c.args)), Stdout::kFile, dir + "out.log",
                                    dir + "err.log", RLIM_INFINITY});
    EXPECT_EQ(r.status, c.status) << Read(dir + "err.log");
    struct stat after {};
    stat(log.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_TRUE(fs::is_regular_file(log));
    const std::string held = Read(log);
    EXPECT_EQ(held.substr(0, 9), "old line\n");
    // A refusal says why on standard error and writes nothing else.
    const std::string said = c.status == 0 ? held : Read(dir + "err.log");
    EXPECT_NE(said.find(c.text), std::string::npos) << said;
    EXPECT_EQ(held == "old line\n", c.status != 0 && c.into_stdout);
    EXPECT_EQ(Temporaries(dir), 0);
  }
}

// What appears at a target while the run writes it (a FIFO, a directory, a
// link) stays as it is and the output is not written; a regular file that
// appears is replaced like any other.
TEST(Targets, WhatAppearsDuringTheRunIsReplacedOnlyWhenARegularFile) {
  const std::string dir = Dir("appears");
  enum What { kFifo, kDirectory, kLink, kRegular };
  for (bool existed : {false, true}) {
    for (What what : {kFifo, kDirectory, kLink, kRegular}) {
      SCOPED_TRACE(std::to_string(existed) + " " + std::to_string(what));
      const std::string path = dir + "target";
      fs::remove_all(path);
      if (existed) std::ofstream(path) << "old";
      lab::ReplacingFile file;
      std::string error;
      ASSERT_TRUE(file.Open(path, &error)) << error;
      EXPECT_TRUE(file.Write("new\n"));
      fs::remove(path);
      if (what == kFifo) mkfifo(path.c_str(), 0600);
      if (what == kDirectory) fs::create_directory(path);
      if (what == kLink) fs::create_symlink(dir + "elsewhere", path);
      if (what == kRegular) std::ofstream(path) << "appeared";
      EXPECT_EQ(file.Commit(&error), what == kRegular) << error;
      EXPECT_EQ(what == kRegular ? Read(path) : error.substr(error.find(" appeared") + 1, 35),
                what == kRegular ? "new\n" : "appeared at its name during the run");
      EXPECT_EQ(fs::is_fifo(path), what == kFifo);
      EXPECT_EQ(fs::is_directory(path), what == kDirectory);
      EXPECT_EQ(fs::is_symlink(path), what == kLink);
      EXPECT_FALSE(fs::exists(dir + "elsewhere"));
      EXPECT_EQ(Temporaries(dir), 0);
    }
  }
}

// A map stops on SIGINT or SIGTERM in every phase: while its rows are set
// up (ten thousand of them) and while they run. The time limit only guards
// against a hang.
TEST(Interruption, StopsAMapWhileItsRowsAreSetUpAndWhileTheyRun) {
  for (const auto& [sig, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
    for (const int after_ms : {200, 2500}) {
      SCOPED_TRACE(std::to_string(sig) + " after " + std::to_string(after_ms) + " ms");
      const std::string dir = Dir("map-signal" + std::to_string(sig) + "-" + std::to_string(after_ms));
      const Child c = Spawn({"map", "--quiet", "--test", "2", "--set", "dalpha=1", "--y",
                             "dist2=2:3:10000", "--meta", dir + "m.json"});
      usleep(after_ms * 1000);
      kill(c.pid, sig);
      EXPECT_EQ(Wait(c.pid, 30), status);
      const std::string out = ReadAll(c.out);
      ReadAll(c.err);
      EXPECT_TRUE(out.empty() || out.back() == '\n');
      EXPECT_TRUE(fs::is_empty(dir));
    }
  }
}

// What the machine will not give ends the run with status 1 and one line,
// never an abort: under a small address space the threads asked for cannot
// all start. Nothing is left behind.
TEST(Resources, ThreadsThatCannotStartEndTheRunWithOneLine) {
  if (golden::kSanitized) GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
  const std::vector<std::string> run = {"--quiet",     "--test", "2",         "--set",
                                        "dalpha=0.1",  "--max-steps", "1000", "--jobs",
                                        "1000",        "--output",    "@out.csv"};
  for (const bool map : {false, true}) {
    SCOPED_TRACE(map ? "map" : "series");
    const std::string dir = Dir(map ? "threads-map" : "threads-series");
    const auto args = In(dir, map ? With(With({"map"}, run), {"--y", "dist2=2:3:3"}) : run);
    const Result r = RunWith(Launch{args, Stdout::kPipe, "", "", RLIM_INFINITY}, rlim_t{1} << 30);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err.rfind("encounter-batch: cannot start ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(" threads: Resource temporarily unavailable\n"), std::string::npos) << r.err;
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(fs::is_empty(dir));
  }
}

// A refined map keeps a little for every cell: one too large for the memory
// the process may have is refused before it takes any, naming the size.
TEST(Resources, ARefinedMapTooLargeForTheMemoryIsRefusedFirst) {
  if (golden::kSanitized) GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
  const std::string dir = Dir("refine-memory");
  const auto args = In(dir, {"map", "--quiet", "--test", "2", "--set", "dalpha=0.01", "--y",
                            "dist2=2:3:10000", "--refine", "3", "--output", "@out.csv"});
  const Result r = RunWith(Launch{args, Stdout::kPipe, "", "", RLIM_INFINITY}, rlim_t{1} << 30);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "encounter-batch: --refine keeps 20 bytes for each of the 180010000 cells: 3.6 GB, more "
            "than the 1.1 GB this process may use\n");
  EXPECT_TRUE(fs::is_empty(dir));
}

}  // namespace
