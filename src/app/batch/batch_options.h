// The command line of the batch runner.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lab {

struct BatchOptions {
  std::optional<std::string> test;                        // text pasted into "test"
  std::vector<std::pair<int, std::string>> sets;          // field index, text
  std::optional<bool> unit_au;                            // --unit au / km
  std::int64_t max_steps = 50000000;                      // 0: no limit
  bool help = false;
};

// Parses argv[1..]; on a mistake returns the one-line error in *error.
std::optional<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args,
                                              std::string* error);

// The field a --set name stands for, or -1.
int FieldOfName(const std::string& name);

extern const char* const kBatchHelp;

}  // namespace lab
