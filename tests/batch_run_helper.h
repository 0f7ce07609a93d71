// The batch runner run in-process, with its status and what it printed.
#pragma once

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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

// The arguments with more after them.
inline std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// Refused before any work: status 2, nothing on standard output, and the
// words on standard error.
inline testing::AssertionResult Refused(const Result& r, const std::string& words) {
  if (r.status == 2 && r.out.empty() && r.err.find(words) != std::string::npos)
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << "status " << r.status << ", " << r.out.size()
                                     << " bytes of output, not refused with \"" << words
                                     << "\"; standard error:\n" << r.err;
}

// The run's shards 1/n to n/n, each written (with --output) to PREFIXk.csv;
// the files, in order.
inline std::vector<std::string> WriteShards(const std::vector<std::string>& args, int n,
                                            const std::string& prefix) {
  std::vector<std::string> files;
  for (int k = 1; k <= n; ++k) {
    files.push_back(prefix + std::to_string(k) + ".csv");
    const std::string shard = std::to_string(k) + "/" + std::to_string(n);
    EXPECT_EQ(Batch(With(args, {"--shard", shard, "--output", files.back()})).status, 0) << shard;
  }
  return files;
}

inline int Lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace batch_test
