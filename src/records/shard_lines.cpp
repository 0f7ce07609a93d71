#include "records/shard_lines.h"

#include <zlib.h>

#include <cstdio>

namespace lab {

std::string ShardLine(int shard, int shards, const std::string& series, const std::string& version,
                      std::int64_t tests, std::int64_t total) {
  return std::string(kShardPrefix) + std::to_string(shard) + "/" + std::to_string(shards) +
         " series " + series + " version " + version + " tests " + std::to_string(tests) + " of " +
         std::to_string(total);
}

std::string ShardEndLineWithoutChecksum(int shard, int shards, std::int64_t tests) {
  return std::string(kShardPrefix) + std::to_string(shard) + "/" + std::to_string(shards) +
         " complete, " + std::to_string(tests) + " tests";
}

std::string ShardEndLine(int shard, int shards, std::int64_t tests, std::uint32_t checksum) {
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(checksum));
  return ShardEndLineWithoutChecksum(shard, shards, tests) + ", crc32 " + hex;
}

void ShardChecksum::Add(std::string_view bytes) {
  // zlib takes at most UINT_MAX bytes a call.
  while (!bytes.empty()) {
    const auto n = static_cast<uInt>(std::min<std::size_t>(bytes.size(), 1u << 30));
    crc_ = static_cast<std::uint32_t>(
        crc32(crc_, reinterpret_cast<const Bytef*>(bytes.data()), n));
    bytes.remove_prefix(n);
  }
}

}  // namespace lab
