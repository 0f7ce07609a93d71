// Joins the outputs of the shards of one series into the CSV that one
// unsharded run prints.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "records/shard_lines.h"

namespace lab {

// args: shard files, and --output FILE. Returns the exit status: 0; 1 when
// the output cannot be written; 2 with one line per fault on err (naming the
// file) and nothing on out; 128 + the signal when SIGINT or SIGTERM stopped
// it (no output file then, and no temporary one).
// After the merged CSV, when the shards hold tests whose total energy changed
// by more than the limit, merge's last line on err counts them and names
// their angles (their cells where the shards are a map's).
struct MergeReport {
  std::int64_t untrusted = 0;  // as the shards' last lines count them
  // Of those, the tests (in series or map order) the column energy_err
  // shows; none without that column.
  std::vector<std::int64_t> untrusted_tests;
};
int MergeShards(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                MergeReport* report = nullptr);

}  // namespace lab
