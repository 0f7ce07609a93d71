// What a newcomer reads first: the help of both programs, the README and the
// shell completion name exactly the scenarios of the presets table, and the
// completion offers something after every option that takes a value.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/batch/batch_options.h"
#include "app/batch/batch_run.h"
#include "golden.h"
#include "setup/number_text.h"
#include "setup/presets.h"

namespace {

// The twenty scenarios, in the order the loader looks them up.
constexpr char kScenarios[] = "0 1 2 3 3.5 4 5 5.5 6 6.5 7 8 9 10 11 101 105 107 108 111";

std::string Output(const std::string& command) {
  std::string out;
  if (std::FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
  }
  return out;
}

// What bash offers on Tab after the words, the last being the one completed;
// the batch runner is found on PATH, as an installed one is.
std::string Completions(const std::vector<std::string>& words) {
  std::string program = ENCOUNTER_BATCH;
  std::string command = "PATH=\"" + program.substr(0, program.rfind('/')) +
                        ":$PATH\" bash -c 'source \"$0\"; COMP_WORDS=(\"$@\"); "
                        "COMP_CWORD=$(($# - 1)); _encounter_batch; echo \"${COMPREPLY[*]}\"' " +
                        LAB_SOURCE_DIR "/resources/encounter-batch.bash encounter-batch";
  for (const std::string& w : words) command += " '" + w + "'";
  std::string out = Output(command);
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// The options the help lists, one per line "  --name ...".
std::vector<std::string> HelpOptions() {
  std::vector<std::string> names;
  std::istringstream help(lab::SeriesHelp());
  for (std::string line; std::getline(help, line);) {
    if (line.rfind("  --", 0) != 0) continue;
    names.push_back(line.substr(2, line.find(' ', 2) - 2));
  }
  return names;
}

TEST(ScenarioNumbers, HelpReadmeAndCompletionNameExactlyThePresets) {
  std::string table;
  for (double n : lab::PresetNumbers()) table += (table.empty() ? "" : " ") + lab::NumberText(n);
  EXPECT_EQ(table, kScenarios);
  EXPECT_EQ(lab::PresetList(), kScenarios);
  EXPECT_NE(lab::SeriesHelp().find(kScenarios), std::string::npos);
#ifdef ENCOUNTER_PROGRAM
  EXPECT_NE(Output("\"" ENCOUNTER_PROGRAM "\" --help").find(std::string(kScenarios) + "."),
            std::string::npos);
#endif
  EXPECT_NE(golden::Read(LAB_SOURCE_DIR "/README.md").find(kScenarios), std::string::npos);
  EXPECT_EQ(Completions({"--test", ""}), kScenarios);
  EXPECT_EQ(Completions({"--test", "10"}), "10 101 105 107 108");
}

// Each scenario with its unit, parameters and regime: scenarios 5 to 7 and
// 105 are those of a heavy body 3 (m3 of a solar mass or more, m1 below the
// threshold), 8 to 11, 107 and 108 those of a central mass.
TEST(ScenarioNumbers, ListedWithTheirRegimes) {
  std::ostringstream out, err;
  ASSERT_EQ(lab::RunBatch({"--list-presets"}, out, err), 0);
  golden::Expect("list-presets.txt", out.str());
}

// The options offered are those of the help, each known to the program;
// after each one that takes a value something fitting is offered.
TEST(Completion, OffersTheOptionsAndAValueForEachThatTakesOne) {
  const std::vector<std::string> options = HelpOptions();
  std::string listed;
  for (const std::string& o : std::set<std::string>(options.begin(), options.end()))
    listed += (listed.empty() ? "" : " ") + o;
  EXPECT_EQ(Completions({"--"}), listed);
  const std::string dir = testing::TempDir() + "completion/";
  std::system(("mkdir -p '" + dir + "' && touch '" + dir + "run.csv' '" + dir + "run.json'").c_str());
  std::map<std::string, std::string> values;
  for (const auto& c : golden::Table("completions.txt")) {
    std::string offered = c.text;
    for (std::size_t at; (at = offered.find('@')) != std::string::npos;) offered.replace(at, 1, dir);
    values[c.args.at(0)] = offered;
  }
  for (const std::string& o : options) {
    std::string error;
    lab::ParseSeriesCommandLine({o}, &error);
    SCOPED_TRACE(o);
    ASSERT_NE(error.rfind("unknown option", 0), 0u) << error;
    if (error != o + " needs a value") continue;  // takes none
    if (o == "--test") continue;                   // above
    if (o == "--shard") {
      EXPECT_EQ(Completions({o, "/4"}), "1/4 2/4 3/4 4/4");
      continue;
    }
    if (o == "--jobs") {
      EXPECT_EQ(Completions({o, "1"}).substr(0, 1), "1");
      continue;
    }
    ASSERT_TRUE(values.count(o)) << "no completion known for an option that takes a value";
    const bool file = values[o].rfind(dir, 0) == 0;
    EXPECT_EQ(Completions({o, file ? dir + "r" : ""}), values[o]);
  }
  EXPECT_EQ(Completions({"merge", "--output", dir + "r"}), dir + "run.csv " + dir + "run.json");
}

}  // namespace
