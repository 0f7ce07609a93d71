// Joins the outputs of the shards of one series into the CSV that one
// unsharded run prints.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace lab {

// The first line of a shard's output names the shard and the series.
std::string ShardLine(int shard, int shards, const std::string& series);

// Returns the exit status: 0, or 2 with one line on err and nothing on out.
int MergeShards(const std::vector<std::string>& files, std::ostream& out, std::ostream& err);

}  // namespace lab
