// The command line of a series: its options, read into the public request.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "encounter/scenario.h"
#include "encounter/series.h"

namespace lab {

// A series as the command line asks for it: the request (the scenario and
// the public options, read by the engine's table of options) and what is the
// command line's own: where the results go and how the progress shows.
struct SeriesCommandLine {
  encounter::Scenario scenario;                           // --test, --set, --unit
  encounter::SeriesOptions series;                        // the options of the table
  std::optional<std::string> png;                         // picture of the drawing
  std::optional<std::string> output;                      // the CSV into a file
  std::optional<std::string> meta;                        // the JSON record of the run
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
std::optional<SeriesCommandLine> ParseSeriesCommandLine(const std::vector<std::string>& args,
                                                        std::string* error);

// Whether the option of a series called name (as "--jobs") takes a value.
bool TakesValue(const std::string& name);

// args without the options named (and their values), read as the parser
// reads them.
std::vector<std::string> WithoutOptions(const std::vector<std::string>& args,
                                        const std::vector<std::string>& names);

// The text of --help, with the numbers of the scenarios.
std::string SeriesHelp();

}  // namespace lab
