// Sweeps a study can rely on: shards that prove their bytes and a merge that
// refuses anything else, a series id that changes with every input of a row,
// the JSON record and the warnings. How runs end and what they leave behind:
// test_outputs.cpp.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "batch_run_helper.h"
#include "records/json_reader.h"
#include "encounter/merge.h"
#include "records/shard_lines.h"

namespace {

namespace fs = std::filesystem;

using batch_test::Batch;
using batch_test::Lines;
using batch_test::Result;
using batch_test::With;
using golden::Dir;
using golden::Read;

// The checksum of a shard's lines, as the last line shows it.
std::string Hex(std::uint32_t crc) {
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(crc));
  return hex;
}
std::uint32_t Crc(const std::string& bytes) {
  lab::ShardChecksum c;
  c.Add(bytes);
  return c.Value();
}
// A shard edited by hand, its last line given the checksum of the lines
// above as they now are.
std::string Reseal(const std::string& text) {
  const std::size_t last = text.rfind('\n', text.size() - 2) + 1;
  const std::size_t crc = text.find(" crc32 ", last);
  if (crc == std::string::npos) return text;
  return text.substr(0, crc + 7) + Hex(Crc(text.substr(0, last))) + "\n";
}
// The cell of `column` in the first row of a shard replaced by `cell`.
std::string WithCell(const std::string& shard, const std::string& column, const std::string& cell) {
  const std::size_t header = shard.find('\n') + 1, row = shard.find('\n', header) + 1;
  int index = 0;
  for (std::size_t at = header; shard.substr(at, column.size() + 1) != column + "," &&
                                shard.substr(at, column.size() + 1) != column + "\n";
       at = shard.find(',', at) + 1) {
    ++index;
    if (at > row) ADD_FAILURE() << "no column " << column;
  }
  std::size_t from = row;
  for (int c = 0; c < index; ++c) from = shard.find(',', from) + 1;
  const std::size_t to = shard.find_first_of(",\n", from);
  return shard.substr(0, from) + cell + shard.substr(to);
}

// Three shards of a short series with every group of columns, and the CSV
// of the unsharded run.
class Shards : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new std::string(Dir("shards"));
    const std::vector<std::string> series = {"--test", "2",    "--set",  "end=60",   "--max-steps", "3000",
                                             "--quiet", "--full", "--energy", "--crosscheck"};
    whole_ = new std::string(Batch(series).out);
    for (int k = 1; k <= 3; ++k)
      texts_[k - 1] = new std::string(Batch(With(series, {"--shard", std::to_string(k) + "/3", "--jobs", "2"})).out);
  }
  std::string Write(const std::string& name, const std::string& text) {
    fs::remove(*dir_ + name);  // see MergeRefusesEveryOneByteChange
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

TEST_F(Shards, StateTheirSizeAndChecksumAndMergeIntoTheUnshardedCsv) {
  // CRC-32 as zlib and gzip compute it: the check value of "123456789".
  lab::ShardChecksum check;
  check.Add("1234");
  check.Add("56789");
  EXPECT_EQ(check.Value(), 0xcbf43926u);

  const std::string& s2 = *texts_[1];  // tests 1 and 4 of 7
  EXPECT_EQ(s2.substr(0, s2.find(" series ")), "# encounter-batch shard 2/3");
  EXPECT_NE(s2.find(" tests 2 of 7\n"), std::string::npos);
  const std::size_t last = s2.rfind('#');
  EXPECT_EQ(s2.substr(last), "# encounter-batch shard 2/3 complete, 2 tests, 0 untrusted, crc32 " +
                                 Hex(Crc(s2.substr(0, last))) + "\n");
  const Result r = Merge(s2);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, *whole_);
  // A shard may hold no test at all: a series of 2 tests in 3 shards.
  const std::vector<std::string> two = {"--test", "2", "--set", "end=10", "--max-steps", "100"};
  const auto few = batch_test::WriteShards(two, 3, *dir_ + "few");
  EXPECT_EQ(Lines(Read(few.back())), 3);  // first line, header, last line
  EXPECT_EQ(Batch(With({"merge"}, few)).out, Batch(two).out);
  // Written under another name first, then renamed.
  const std::string file = *dir_ + "merged.csv";
  EXPECT_EQ(Batch({"merge", "--output", file, *dir_ + "s3.csv", *dir_ + "s1.csv", *dir_ + "s2.csv"}).status, 0);
  EXPECT_EQ(Read(file), *whole_);
}

// Every way a shard can be damaged: refused with the file named, status 2,
// nothing on standard output, and the shard to run again listed. The edits
// of the table are made as by hand, with the checksum made anew.
TEST_F(Shards, MergeRefusesEveryDamagedShard) {
  const std::string s2 = *texts_[1];
  const std::size_t row1 = s2.find('\n', s2.find('\n') + 1) + 1;  // first row
  const std::size_t row2 = s2.find('\n', row1) + 1;
  const std::size_t end = s2.rfind('#');
  const std::string crc = s2.substr(s2.size() - 9, 8);
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
      // Bytes changed without a new checksum; a shard of an older version.
      {s2.substr(0, row1 + 3) + "9" + s2.substr(row1 + 4), "its checksum does not match its contents"},
      {s2.substr(0, s2.size() - 9) + (crc == "00000000" ? "00000001" : "00000000") + "\n",
       "its checksum does not match"},
      {s2.substr(0, end) + lab::ShardEndLineWithoutChecksum(2, 3, 2) + "\n",
       "no checksum in its last line: an older version wrote it; run it again with this version"},
  };
  for (const auto& c : golden::Table("damaged-shards.txt")) {
    std::string text = s2;
    if (c.args.at(0)[0] == '@') {
      text = WithCell(s2, c.args[0].substr(1), c.args.at(1));
    } else {
      ASSERT_NE(text.find(c.args[0]), std::string::npos) << c.args[0];
      text.replace(text.find(c.args[0]), c.args[0].size(), c.args.at(1));
    }
    cases.emplace_back(Reseal(text), c.text);
  }
  for (const auto& [text, fault] : cases) {
    SCOPED_TRACE(fault);
    const Result r = Merge(text);
    EXPECT_TRUE(batch_test::Refused(r, fault));
    EXPECT_NE(r.err.find("\"" + *dir_ + "s2.csv\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("run again: --shard K/3 for K = 2\n"), std::string::npos) << r.err;
  }
}

// A fixed sample of one-byte changes (tests/data/one-byte-changes.txt) in
// shards of presets 2 and 8, with and without the columns of --crosscheck:
// merge refuses every changed shard, whatever the byte and wherever it is.
TEST(ShardBytes, MergeRefusesEveryOneByteChange) {
  std::vector<std::pair<std::uint32_t, char>> changes;
  for (const auto& c : golden::Table("one-byte-changes.txt"))
    changes.emplace_back(std::stoul(c.args.at(0)), static_cast<char>(std::stoul(c.args.at(1), nullptr, 16)));
  ASSERT_EQ(changes.size(), 500u);
  const std::string dir = Dir("bytes");
  for (const auto& sweep : std::vector<std::vector<std::string>>{
           {"--test", "2", "--set", "end=60", "--full"},
           {"--test", "2", "--set", "end=60", "--full", "--crosscheck"},
           {"--test", "8", "--energy"},
           {"--test", "8", "--energy", "--crosscheck"}}) {
    SCOPED_TRACE(sweep.back());
    const auto files = batch_test::WriteShards(With(sweep, {"--max-steps", "3000", "--quiet"}), 3, dir + "s");
    const std::string shards[3] = {Read(files[0]), Read(files[1]), Read(files[2])};
    ASSERT_EQ(Batch({"merge", files[0], files[1], files[2]}).status, 0);
    int taken = 0;
    for (std::size_t i = 0; i < changes.size(); ++i) {
      const int k = static_cast<int>(i % 3);
      std::string text = shards[k];
      char& at = text[changes[i].first % text.size()];
      at = at == changes[i].second ? static_cast<char>(at ^ 1) : changes[i].second;
      // A new file each time: ext4 writes a file rewritten from its start
      // to disk at once, a hundred times slower.
      const std::string damaged = dir + "damaged.csv";
      fs::remove(damaged);
      std::ofstream(damaged, std::ios::binary) << text;
      const Result r = Batch({"merge", files[(k + 1) % 3], files[(k + 2) % 3], damaged});
      if (r.status == 2 && r.out.empty() && r.err.find("\"" + damaged + "\"") != std::string::npos)
        continue;
      if (++taken <= 3)
        ADD_FAILURE() << "change " << i << " of shard " << k + 1 << " at "
                      << changes[i].first % text.size() << ": status " << r.status << "\n" << r.err;
    }
    EXPECT_EQ(taken, 0) << "changed shards merge takes";
  }
}

// A map's shards edited as by hand, the checksum made anew: a sign on a y
// value, a y value that changes along a row of the map within one shard or
// between two. 15 cells, 5 a row: shard 1/2 holds the tests 0 2 4 | 6 8 |
// 10 12 14, shard 2/2 the tests 1 3 | 5 7 9 | 11 13.
TEST(ShardBytes, MergeRefusesAMapShardWhoseYChangesAlongARow) {
  const std::string dir = Dir("map-y");
  std::string shards[2];
  for (int k = 0; k < 2; ++k) {
    shards[k] = Batch({"map", "--quiet", "--test", "2", "--set", "end=40", "--set", "dalpha=10", "--y",
                       "dist2=2:3:3", "--max-steps", "3000", "--shard", std::to_string(k + 1) + "/2"})
                    .out;
    ASSERT_NE(shards[k].find(" rows 3\n"), std::string::npos) << shards[k];
  }
  const struct {
    int shard;  // 1 or 2
    std::vector<std::pair<std::string, std::string>> edits;
    std::string fault;
  } cases[] = {
      {1, {{"\n0,2,", "\n0,-2,"}}, "s1.csv\" has an unreadable dist2_au \"-2\" in line 3"},
      {1, {{"\n2,2,", "\n2,2.5,"}}, "s1.csv\" has dist2_au \"2.5\" in line 4 where its row of the map has \"2\""},
      {2, {{"\n1,2,", "\n1,2.5,"}, {"\n3,2,", "\n3,2.5,"}},
       "s2.csv\" has dist2_au \"2.5\" in test 1 where \"" + dir + "s1.csv\" has \"2\" in the same row of the map\n"
       "encounter-batch merge: run again: --shard K/2 for K = 1-2\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    std::string texts[2] = {shards[0], shards[1]};
    std::string& text = texts[c.shard - 1];
    for (const auto& [from, to] : c.edits) {
      ASSERT_NE(text.find(from), std::string::npos) << from;
      text.replace(text.find(from), from.size(), to);
    }
    text = Reseal(text);
    std::vector<std::string> merge = {"merge"};
    for (int k = 0; k < 2; ++k) {
      merge.push_back(dir + "s" + std::to_string(k + 1) + ".csv");
      fs::remove(merge.back());
      std::ofstream(merge.back(), std::ios::binary) << texts[k];
    }
    EXPECT_TRUE(batch_test::Refused(Batch(merge), c.fault));
  }
}

// The series id changes with everything that changes a row, so that merge
// refuses shards of two series; what changes no row leaves it as it is.
TEST(ShardBytes, SeriesIdCoversEveryInputOfARow) {
  const std::vector<std::string> base = {"--test", "2", "--set", "end=10", "--max-steps", "200", "--quiet"};
  const struct {
    std::vector<std::string> change;
    int status;
  } cases[] = {
      {{"--test", "3"}, 2},          {{"--set", "m1=2"}, 2},       {{"--set", "m2=2"}, 2},
      {{"--set", "m3=0.5"}, 2},      {{"--set", "dist1=2 AU"}, 2}, {{"--set", "dist2=1.2 AU"}, 2},
      {{"--set", "start=1"}, 2},     {{"--set", "end=11"}, 2},     {{"--set", "tdfact=2"}, 2},
      {{"--set", "dalpha=9"}, 2},    {{"--unit", "km"}, 2},        {{"--max-steps", "300"}, 2},
      {{"--energy"}, 2},             {{"--full"}, 2},              {{"--crosscheck"}, 2},
      {{"--integrator", "bulirsch-stoer"}, 2},
      {{"--jobs", "1"}, 0},          {{"--lanes", "1"}, 0},
  };
  const std::string dir = Dir("series-id");
  auto shard = [&](const std::vector<std::string>& args, int k) {
    const std::string file = dir + std::to_string(k) + ".csv";
    std::ofstream(file) << Batch(With(args, {"--shard", std::to_string(k) + "/2"})).out;
    return file;
  };
  const std::string first = shard(base, 1);
  for (const auto& c : cases) {
    const Result r = Batch({"merge", first, shard(With(base, c.change), 2)});
    EXPECT_EQ(r.status, c.status) << c.change.back() << "\n" << r.err;
    if (c.status == 2) {
      EXPECT_NE(r.err.find("comes from another series"), std::string::npos) << r.err;
    }
  }
}

// Every series of tests/data, as the one shard of itself (its last line as
// versions before the untrusted count wrote it), merges back to the same
// bytes: the forms merge takes are those the program prints.
TEST(ShardBytes, EveryKeptSeriesMergesAsItsOwnShard) {
  const std::string dir = Dir("kept");
  for (const auto& entry : fs::directory_iterator(LAB_TEST_DATA "/series")) {
    if (entry.path().extension() != ".csv") continue;
    SCOPED_TRACE(entry.path().filename());
    const std::string csv = Read(entry.path());
    std::istringstream in(csv);
    std::string line, body;
    std::getline(in, line);
    body = "test," + line + "\n";
    int tests = 0;
    while (std::getline(in, line)) body += std::to_string(tests++) + "," + line + "\n";
    const std::string text = lab::ShardLine(1, 1, "x", "0", tests, tests) + "\n" + body;
    std::ofstream(dir + "s.csv") << text << lab::ShardEndLineWithoutUntrusted(1, 1, tests, Crc(text)) << "\n";
    const Result r = Batch({"merge", dir + "s.csv"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, csv);
  }
}

// Scenario 8 as preset in three shards. Four of its six tests changed their
// total energy by more than 1 % (the unsharded run warns of 350.6225,
// 350.623, 350.6235 and 350.625 degrees; energy_err 46, 5.1, 0.096, 0.10):
// shards 1 and 2 hold one each, shard 3 two. Each shard counts its own in
// its last line and record; merge counts and names them all, also for a
// shard of a version before the count, and refuses a count its rows belie.
TEST(Untrusted, ShardsCountThemAndMergeNamesTheirAngles) {
  const std::string dir = Dir("untrusted");
  const std::int64_t counts[] = {1, 1, 2};
  std::vector<std::string> files, texts;
  for (int k = 1; k <= 3; ++k) {
    SCOPED_TRACE(k);
    const std::string file = dir + "s" + std::to_string(k) + ".csv";
    const Result r = Batch({"--test", "8", "--energy", "--quiet", "--shard", std::to_string(k) + "/3",
                            "--output", file, "--meta", file + ".json"});
    ASSERT_EQ(r.status, 0) << r.err;
    files.push_back(file);
    texts.push_back(Read(file));
    const std::string count = ", " + std::to_string(counts[k - 1]) + " untrusted, crc32 ";
    EXPECT_NE(texts.back().find(", 2 tests" + count), std::string::npos) << texts.back();
    EXPECT_NE(Read(file + ".json").find("\"untrusted\": " + std::to_string(counts[k - 1]) + ",\n"),
              std::string::npos);
  }
  const std::string said =
      "encounter-batch merge: 4 of 6 tests untrusted (their total energy changed by more than "
      "1 %): alpha 350.6225, 350.623, 350.6235, 350.625\n";
  const std::size_t end = texts[2].rfind("# ");
  const std::string old = texts[2].substr(0, end) +
                          lab::ShardEndLineWithoutUntrusted(3, 3, 2, Crc(texts[2].substr(0, end))) + "\n";
  std::string belied = texts[2];
  belied.replace(belied.find(", 2 untrusted"), 13, ", 1 untrusted");
  const struct {
    const char* what;
    std::string third;
    int status;
    std::string err;
  } cases[] = {
      {"as written", texts[2], 0, said},
      {"last line without the count", old, 0, said},
      {"count edited", belied, 2, "states 1 untrusted tests in its last line, but its column energy_err shows 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(dir + "third.csv");
    std::ofstream(dir + "third.csv", std::ios::binary) << c.third;
    const Result r = Batch({"merge", files[0], files[1], dir + "third.csv"});
    EXPECT_EQ(r.status, c.status) << r.err;
    if (c.status == 0) EXPECT_EQ(r.err.substr(r.err.rfind("encounter-batch")), c.err);
    else EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
  const encounter::MergeResult merged = encounter::MergeShards(files);
  EXPECT_EQ(merged.untrusted, 4);
  EXPECT_EQ(merged.untrusted_tests, (std::vector<std::int64_t>{0, 1, 2, 5}));
  // Without the column energy_err the count alone.
  const Result r = Batch(With({"merge"}, batch_test::WriteShards({"--test", "8", "--quiet"}, 3, dir + "p")));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("merge: 4 of 6 tests untrusted (their total energy changed by more than 1 %); "),
            std::string::npos) << r.err;
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
  for (const auto& c : cases) EXPECT_TRUE(batch_test::Refused(Batch(With({"merge"}, c.files)), c.fault));
}

// The record of a run is JSON a parser accepts, with what a methods section needs.
TEST(Provenance, MetaIsValidJsonWithTheRunsInputs) {
  const std::string dir = Dir("meta"), meta = dir + "run.json";
  const Result r = Batch({"--test", "2", "--set", "end=20", "--max-steps", "500", "--quiet",
                          "--jobs", "2", "--set", "tdfact=2\n\"x\"\x01", "--output", dir + "out.csv",
                          "--meta=" + meta});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string check =
      "/usr/bin/python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); "
      "assert d[\"tests_in_series\"]==3 and d[\"tests_written\"]==3 and d[\"threads\"]==2 and d[\"unit\"]==\"AU\"; "
      "assert d[\"derived\"][\"n stars\"]==\"3\" and d[\"fields\"][\"tdfact\"][\"text\"].startswith(\"2\\n\"); "
      "assert d[\"arguments\"][-1].startswith(\"--meta=\") and d[\"max_steps\"]==500; "
      "assert d[\"end_time\"].endswith(\"Z\") and len(d[\"series\"])==16' ";
  EXPECT_EQ(std::system((check + meta).c_str()), 0) << Read(meta);
}

// The record states the physical set-up, each quantity with its unit, as
// worked by hand; a value is met within half its last digit.
TEST(Provenance, MetaStatesThePhysicalSetUpWithUnits) {
  const std::string dir = Dir("setup");
  for (const auto& c : golden::Table("meta-setup.txt")) {
    SCOPED_TRACE(c.text);
    ASSERT_EQ(Batch(With(c.args, {"--set", "dalpha=1000", "--max-steps", "100", "--quiet", "--output",
                                  dir + "out.csv", "--meta", dir + "run.json"})).status, 0);
    std::string error;
    const auto record = lab::ReadJson(Read(dir + "run.json"), &error);
    ASSERT_TRUE(record) << error;
    const std::size_t is = c.text.find(" = ");
    std::istringstream rest(c.text.substr(is + 3));
    std::string value, unit;
    rest >> value;
    std::getline(rest >> std::ws, unit);
    const lab::JsonValue* setup = record->Member("setup");
    ASSERT_NE(setup, nullptr);
    const lab::JsonValue* q = setup->Member(c.text.substr(0, is));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->Member("unit")->text, unit);
    const std::size_t point = value.find('.');
    const double half = 0.5 * std::pow(10.0, point == std::string::npos
                                                  ? 0.0
                                                  : -static_cast<double>(value.size() - point - 1));
    EXPECT_NEAR(std::stod(q->Member("value")->text), std::stod(value), half);
  }
}

// What the program does not do as asked, or does not trust, is said once.
TEST(Warnings, IgnoredAndSuspectInputIsNamed) {
  for (const auto& c : golden::Table("warnings.txt")) {
    const Result r = Batch(With(c.args, {"--max-steps", "30000", "--set", "dalpha=1000", "--quiet"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("encounter-batch: warning: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
    EXPECT_EQ(r.err.substr(r.err.rfind("encounter-batch: ")), "encounter-batch: 1 warning\n");
  }
}

// A test that ends with a body faster than a tenth of the speed of light is
// named with the body, its speed and the fraction of light; a faster test
// below that is not. A case without a text expects no caveat of its series.
TEST(Warnings, SpeedsBeyondNewtonAreNamedTestByTest) {
  std::map<std::vector<std::string>, std::vector<std::string>> expected;
  for (const auto& c : golden::Table("caveats.txt")) {
    auto& texts = expected[c.args];
    if (!c.text.empty()) texts.push_back(c.text);
  }
  for (const auto& [args, texts] : expected) {
    const Result r = Batch(With(args, {"--quiet"}));
    SCOPED_TRACE(r.err);
    ASSERT_EQ(r.status, 0);
    std::vector<std::string> caveats;
    std::istringstream err(r.err);
    for (std::string line; std::getline(err, line);)
      if (line.find("speed of light") != std::string::npos)
        caveats.push_back(line.substr(line.find("warning: ") + 9));
    EXPECT_EQ(caveats, texts);
  }
}

// m2 three times m1 puts body 0 a quarter of the separation from the centre
// of mass (0.75 AU at 1 AU, as the set-up rounds it); body 2 typed at that
// distance meets body 0 at 180 degrees. The tests at 0 and 90 degrees run,
// the one at 180 is refused and ends the series, on one thread as on several.
TEST(Warnings, ASetUpRefusedPartwayEndsTheSeriesThere) {
  const std::vector<std::string> series = {"--test", "0", "--set", "m2=3", "--set", "dist1=1 AU", "--set",
                                           "dist2=0.7500000000000001 AU", "--set", "dalpha=90",
                                           "--set", "end=270", "--max-steps", "20000", "--quiet"};
  for (const std::string lanes : {"1", "4"}) {
    for (const int jobs : {1, 2}) {
      SCOPED_TRACE(std::to_string(jobs) + " threads, lanes " + lanes);
      const Result r = Batch(With(series, {"--jobs", std::to_string(jobs), "--lanes", lanes}));
      EXPECT_EQ(r.status, 2);
      EXPECT_EQ(Lines(r.out), 3) << r.out;
      EXPECT_NE(r.out.find("\n90,44.688,15.055,579.138,596.763,Vesc #3,151426828,2238253,0,7838,escaped,"),
                std::string::npos) << r.out;
      EXPECT_EQ(r.err.substr(r.err.rfind("encounter-batch: ")),
                "encounter-batch: \"dist 2\": body 2 would start on body 0.\n");
    }
  }
}

TEST(Options, EqualsFormsAndUnitCase) {
  const Result a = Batch({"--test=2", "--set=end=10", "--unit=KM", "--max-steps=100", "--quiet"});
  const Result b = Batch({"--test", "2", "--set", "end=10", "--unit", "km", "--max-steps", "100", "--quiet"});
  EXPECT_EQ(a.status, 0);
  EXPECT_EQ(a.out, b.out);
  EXPECT_NE(a.out.find(",100,limit,"), std::string::npos);
}

}  // namespace
