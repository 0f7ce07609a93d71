// The first and last lines of a shard. The first names the shard, the series,
// the program version and how many of the series' tests the shard must hold;
// the last, written only after the last row, how many it holds and the
// CRC-32 (as zlib and gzip compute it) of every byte above it, so that merge
// takes nothing that was cut, damaged or edited.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lab {

inline constexpr std::string_view kShardPrefix = "# encounter-batch shard ";

std::string ShardLine(int shard, int shards, const std::string& series, const std::string& version,
                      std::int64_t tests, std::int64_t total);
std::string ShardEndLine(int shard, int shards, std::int64_t tests, std::uint32_t checksum);
// The last line as versions before the checksum wrote it.
std::string ShardEndLineWithoutChecksum(int shard, int shards, std::int64_t tests);

// The running CRC-32 of the bytes of a shard.
class ShardChecksum {
 public:
  void Add(std::string_view bytes);
  std::uint32_t Value() const { return crc_; }

 private:
  std::uint32_t crc_ = 0;
};

}  // namespace lab
