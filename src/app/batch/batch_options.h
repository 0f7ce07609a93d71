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
  int jobs = 0;                                           // 0: one per core
  int lanes = 0;                                          // --lanes 1|2|4; 0: the widest
  int shard = 0, shards = 0;                              // --shard K/N; 0: whole series
  std::optional<std::string> png;                         // picture of the drawing
  int png_width = 0, png_height = 0;                      // --png-size; 0: the window's first size
  std::optional<std::string> output;                      // the CSV into a file
  std::optional<std::string> meta;                        // the JSON record of the run
  // Optional column groups, in the order they appear on the line.
  bool energy = false;                                    // energy_err
  bool full = false;                                      // the unrounded values
  bool crosscheck = false;                                // both methods, compared
  std::string integrator = "euler-sums";                  // --integrator NAME
  bool quiet = false;                                     // no progress, no last line
  int progress_every = 60;                                // seconds between log lines; 0: none
  std::optional<std::string> rerun;                       // the record of a run to run again
  std::vector<std::string> given;                         // the options named, in order
  bool help = false;
  bool version = false;
  bool list_presets = false;
  bool list_columns = false;
};

// Parses argv[1..]; on a mistake returns the one-line error in *error.
std::optional<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args,
                                              std::string* error);

// args without the options named (and their values), read as the parser
// reads them.
std::vector<std::string> WithoutOptions(const std::vector<std::string>& args,
                                        const std::vector<std::string>& names);

// The text of --help, with the numbers of the scenarios.
std::string BatchHelp();

}  // namespace lab
