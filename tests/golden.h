// Expected outputs and tables of cases kept as files in tests/data. LAB_UPDATE_GOLDEN=1 in the
// environment writes the present output into them instead of comparing.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace golden {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

// A fresh, empty directory for one test, named by its process too: the test
// programs run side by side.
inline std::string Dir(const std::string& name) {
  const std::string dir =
      testing::TempDir() + "encounter-" + std::to_string(getpid()) + "-" + name + "/";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

inline std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), {}};
}

// The lines of a text, without their line feeds.
inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The cells of a CSV line, empty ones too ("a,,b," has four).
inline std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells(1);
  for (char c : line) {
    if (c == ',') {
      cells.emplace_back();
    } else {
      cells.back() += c;
    }
  }
  return cells;
}

// The lines "[slow] NAME: WORDS..." of a manifest; '#' lines are comments.
struct Entry {
  std::string name;
  std::vector<std::string> words;
  bool slow = false;
};
inline void PrintTo(const Entry& e, std::ostream* os) { *os << e.name; }
inline std::vector<Entry> Manifest(const std::string& file) {
  std::vector<Entry> entries;
  std::istringstream in(Read(LAB_TEST_DATA "/" + file));
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const bool slow = line.rfind("slow ", 0) == 0;
    const std::size_t colon = line.find(':'), from = slow ? 5 : 0;
    entries.push_back({line.substr(from, colon - from), Words(line.substr(colon + 1)), slow});
  }
  return entries;
}
// The test's name: the entry's name with '_' for what a name may not hold.
inline std::string TestName(const testing::TestParamInfo<Entry>& info) {
  std::string name = info.param.name;
  for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

// \n, \r and \xHH stand for their characters; a backslash keeps any other.
inline std::string Unescape(const std::string& s) {
  std::string r;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i] == '\\' && i + 1 < s.size() ? s[++i] : 0;
    if (c == 0) r += s[i];
    else if (c != 'x') r += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    else r += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16)), i += 2;
  }
  return r;
}

// The lines "ARGUMENTS | TEXT" of a table in tests/data; '#' lines are
// comments. The arguments are separated by blanks; one in double quotes may
// hold blanks.
struct Row {
  std::vector<std::string> args;
  std::string text;
};
inline std::vector<Row> Table(const std::string& file) {
  std::vector<Row> rows;
  std::istringstream in(Read(LAB_TEST_DATA "/" + file));
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t bar = std::min({line.find(" | "), line.rfind(" |"), line.size()});
    Row row{{}, bar + 3 < line.size() ? Unescape(line.substr(bar + 3)) : ""};
    std::string word;
    bool quoted = false, any = false;
    for (std::size_t i = 0; i <= bar; ++i) {
      const char c = i < bar ? line[i] : ' ';
      if (c == ' ' && !quoted) {
        if (any) row.args.push_back(Unescape(word));
        word.clear();
        any = false;
        continue;
      }
      any = true;
      if (c == '"') quoted = !quoted;
      else word += c;
      if (c == '\\' && i + 1 < bar) word += line[++i];
    }
    rows.push_back(row);
  }
  EXPECT_FALSE(rows.empty()) << "no table in " << file;
  return rows;
}

inline void Expect(const std::string& file, const std::string& actual) {
  const std::string path = LAB_TEST_DATA "/" + file;
  if (std::getenv("LAB_UPDATE_GOLDEN")) {
    std::ofstream(path, std::ios::binary) << actual;
    return;
  }
  const std::string expected = Read(path);
  ASSERT_FALSE(expected.empty()) << "no expected output in " << path;
  EXPECT_EQ(actual, expected) << "differs from " << path;
}

}  // namespace golden
