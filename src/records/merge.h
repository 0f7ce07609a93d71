// Joins the outputs of the shards of one series into the CSV that one
// unsharded run prints.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "records/shard_lines.h"

namespace lab {

// args: shard files, and --output FILE. Returns the exit status: 0; 1 when
// the output cannot be written; 2 with one line per fault on err (naming the
// file) and nothing on out; 128 + the signal when SIGINT or SIGTERM stopped
// it (no output file then, and no temporary one).
int MergeShards(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lab
