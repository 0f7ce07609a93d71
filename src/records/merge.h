// Joins the outputs of the shards of one series into the CSV that one
// unsharded run prints.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace lab {

// A shard's first line names the shard, the series, the program version and
// how many of the series' tests the shard must hold; its last line, written
// only after its last row, how many it holds.
std::string ShardLine(int shard, int shards, const std::string& series, const std::string& version,
                      std::int64_t tests, std::int64_t total);
std::string ShardEndLine(int shard, int shards, std::int64_t tests);

// args: shard files, and --output FILE. Returns the exit status: 0; 1 when
// the output cannot be written; 2 with one line per fault on err (naming the
// file) and nothing on out.
int MergeShards(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lab
