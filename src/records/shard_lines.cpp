#include "records/shard_lines.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string>

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

namespace {

constexpr std::string_view kUntrustedWord = " untrusted";

std::string ChecksumText(std::uint32_t checksum) {
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(checksum));
  return std::string(", crc32 ") + hex;
}

}  // namespace

std::string ShardEndLineWithoutUntrusted(int shard, int shards, std::int64_t tests,
                                         std::uint32_t checksum) {
  return ShardEndLineWithoutChecksum(shard, shards, tests) + ChecksumText(checksum);
}

std::string ShardEndLine(int shard, int shards, std::int64_t tests, std::int64_t untrusted,
                         std::uint32_t checksum) {
  return ShardEndLineWithoutChecksum(shard, shards, tests) + ", " + std::to_string(untrusted) +
         std::string(kUntrustedWord) + ChecksumText(checksum);
}

std::optional<std::int64_t> UntrustedOfEndLine(std::string_view line, int shard, int shards,
                                               std::int64_t tests) {
  const std::string before = ShardEndLineWithoutChecksum(shard, shards, tests) + ", ";
  if (line.substr(0, before.size()) != before) return std::nullopt;
  const std::string_view rest = line.substr(before.size());
  const std::size_t word = rest.find(kUntrustedWord);
  if (word == std::string_view::npos) return 0;  // written before the count
  // The count as the program prints it: digits, no leading zero.
  const std::string_view digits = rest.substr(0, word);
  if (digits.empty() || digits.size() > 18 || (digits.size() > 1 && digits[0] == '0') ||
      digits.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  return std::stoll(std::string(digits));
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
