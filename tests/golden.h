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

inline std::string Path(const std::string& name) { return std::string(LAB_TEST_DATA) + "/" + name; }

inline std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A manifest line "[slow] NAME: REST"; '#' lines and blank lines are skipped.
struct Entry {
  std::string name, rest;
  bool slow = false;
};
inline std::vector<Entry> Manifest(const std::string& file) {
  std::vector<Entry> entries;
  std::istringstream in(Read(Path(file)));
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    Entry e;
    if (line.rfind("slow ", 0) == 0) e.slow = true, line.erase(0, 5);
    e.name = line.substr(0, line.find(':'));
    e.rest = line.substr(line.find(':') + 1);
    entries.push_back(e);
  }
  return entries;
}
inline std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), {}};
}

// Test names may not hold '.' or '-'.
inline std::string TestName(std::string name) {
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

inline void Expect(const std::string& name, const std::string& actual) {
  if (std::getenv("LAB_UPDATE_GOLDEN")) {
    std::ofstream(Path(name), std::ios::binary) << actual;
    return;
  }
  const std::string expected = Read(Path(name));
  ASSERT_FALSE(expected.empty()) << "no expected output in " << Path(name);
  EXPECT_EQ(actual, expected) << "differs from " << Path(name);
}

}  // namespace golden
