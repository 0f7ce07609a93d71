// Joining the outputs of the shards of one series or map into the CSV that
// one unsharded run prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace encounter {

struct MergeResult {
  // 0: merged; 2: refused (messages names each faulty shard file, one line
  // per fault, and csv is empty).
  int status = 0;
  std::string csv;       // the merged CSV
  std::string messages;  // the lines encounter-batch merge prints on standard error
  // Merged: the tests whose total energy changed by more than 1 %, as the
  // shards count them (0 for shards of versions that did not count them),
  // and of those the ones the column energy_err shows (by index in series or
  // map order; none without that column). messages' last line names them.
  std::int64_t untrusted = 0;
  std::vector<std::int64_t> untrusted_tests;
};

// Reads the shard files (all N shards of one series or map, in any order)
// and joins them; refuses shards cut short, damaged or edited, of another
// series or version, or missing.
MergeResult MergeShards(const std::vector<std::string>& files);

}  // namespace encounter
