// The columns as the command line lists them: a table for --list-columns
// (the one docs/batch.md shows) and the lines of the help text.
#pragma once

#include <string>

namespace lab {

// A Markdown table: column, unit, type, option, meaning; one row a column.
std::string ColumnTable();

// Two-column lines, name then meaning wrapped to 79 characters.
std::string ColumnsHelp();

}  // namespace lab
