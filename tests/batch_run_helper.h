// The batch runner run in-process, with its status and what it printed; and
// the tables of arguments and expected texts kept in tests/data.
#pragma once

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "app/batch/batch_run.h"
#include "golden.h"

namespace batch_test {

struct Result {
  int status;
  std::string out, err;
};

inline Result Batch(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = lab::RunBatch(args, out, err);
  return {status, out.str(), err.str()};
}

// Quiet, on the given number of threads.
inline Result Batch(std::vector<std::string> args, int jobs) {
  args.insert(args.begin(), {"--quiet", "--jobs", std::to_string(jobs)});
  return Batch(args);
}

inline int Lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
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
  std::istringstream in(golden::Read(LAB_TEST_DATA "/" + file));
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

}  // namespace batch_test
