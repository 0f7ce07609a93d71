// The first and last lines of a shard. The first names the shard, the series,
// the program version and how many of the series' tests the shard must hold;
// the last, written only after the last row, how many it holds, how many
// of them should not be trusted, and the
// CRC-32 (as zlib and gzip compute it) of every byte above it, so that merge
// takes nothing that was cut, damaged or edited.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lab {

inline constexpr std::string_view kShardPrefix = "# encounter-batch shard ";

std::string ShardLine(int shard, int shards, const std::string& series, const std::string& version,
                      std::int64_t tests, std::int64_t total);
// "... complete, M tests, U untrusted, crc32 C": untrusted, the tests whose
// energy changed by more than the limit (their warnings went to standard
// error only).
std::string ShardEndLine(int shard, int shards, std::int64_t tests, std::int64_t untrusted,
                         std::uint32_t checksum);
// The last line as versions before the untrusted count wrote it.
std::string ShardEndLineWithoutUntrusted(int shard, int shards, std::int64_t tests,
                                         std::uint32_t checksum);
// The last line as versions before the checksum wrote it.
std::string ShardEndLineWithoutChecksum(int shard, int shards, std::int64_t tests);
// The untrusted count a last line states after its tests: 0 for the line of
// a version before the count; nullopt when the words there are not a count.
std::optional<std::int64_t> UntrustedOfEndLine(std::string_view line, int shard, int shards,
                                               std::int64_t tests);

// The running CRC-32 of the bytes of a shard.
class ShardChecksum {
 public:
  void Add(std::string_view bytes);
  std::uint32_t Value() const { return crc_; }

 private:
  std::uint32_t crc_ = 0;
};

}  // namespace lab
