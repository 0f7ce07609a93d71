// The options of a series and of a map, each described once: its name (the
// field of SeriesOptions, MapAxis or MapOptions, and Python's keyword), the
// command line's option, the values it takes and what it means. The command
// line, Python and the checks of Series and Map all read this table.
#pragma once

#include <string>
#include <vector>

#include "encounter/map.h"
#include "encounter/series.h"

namespace encounter {

enum class OptionKind {
  kFlag,    // true or false
  kWhole,   // a whole number in a range
  kNumber,  // a finite number
  kChoice,  // one word of a list
  kText,    // a name
};

struct OptionInfo {
  std::string name;     // the field, and Python's keyword: "lanes"
  std::string option;   // the command line's option: "--lanes"
  OptionKind kind = OptionKind::kFlag;
  std::string takes;    // the values it takes, in words: "1, 2, 4 or 8"
  std::string meaning;  // what it does, with its unit
  // Left at its default (0 for a whole number), it means what `meaning`
  // says of the default; given, it must be one of `takes`.
  std::string default_text;
};

// The options of a series, in the order of the command line's help.
std::vector<OptionInfo> SeriesOptionTable();
// A map's own options: the y axis (MapAxis) and the refinement (MapOptions);
// a map takes a series' options besides.
std::vector<OptionInfo> MapOptionTable();

// Sets the option `name` of the table from a text as the command line reads
// its value ("true" or "false" for a flag). Throws InputError "NAME takes
// ..., not "TEXT"" for a value outside what it takes, and for a name that is
// not in the table.
void SetOption(SeriesOptions& options, const std::string& name, const std::string& text);
void SetOption(MapAxis& axis, MapOptions& options, const std::string& name, const std::string& text);

}  // namespace encounter
