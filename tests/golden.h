// Expected outputs kept as files in tests/data. LAB_UPDATE_GOLDEN=1 in the
// environment writes the present output into them instead of comparing.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
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

inline std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), {}};
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
