// The columns of a series' CSV, each described once: its name, where in the
// line its group puts it, how its cell is printed, its unit, its type in the
// typed rows and what it means. The CSV header and rows, merge's check of a
// cell, the typed columns of the library and Python, the help text and the
// list the command line prints all read this table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encounter/series.h"
#include "simulation/test_row.h"

namespace lab {

// Where a column stands: the groups in the order a line holds them. Shard,
// energy, crosscheck and full are there only with their option.
enum class ColumnGroup { kShard, kFixed, kEnergy, kCrosscheck, kRatio, kFull, kRefined };

// How a cell is printed; a cell is read back by the same printer (see
// CellReadsBack).
enum class CellForm {
  kWhole,     // a whole number, no sign, no leading zero
  kFlag,      // 0 or 1
  kBody,      // 1, 2 or 3
  kNumber,    // the fields' number text: 15 significant digits, E exponent
  kCut2,      // as kNumber, at most 2 decimals: a distance the window cuts
  kCut3,      // as kNumber, at most 3 decimals: a speed the window cuts
  kDigits3,   // 3 significant digits
  kDigits6,   // 6 significant digits
  kDigits17,  // 17 significant digits: reads back to the same double
  kShortest,  // the shortest text that reads back to the same double
  kEnd,       // an end word
  kHeading,   // Vesc #1, Vesc #2 or Vesc #3
};

// The type of a column in the typed rows (the names are those of pandas).
enum class ColumnType { kReal, kWhole, kFlag, kCategory, kOptionalFlag, kOptionalBody };

// The unit a column's values are in; kDistance: the distance unit the
// scenario shows (AU or km).
enum class ColumnUnit { kNone, kDegrees, kKmPerS, kKm, kSeconds, kDistance };

struct Column {
  const char* name;
  ColumnGroup group;
  CellForm form;
  bool may_be_empty;
  bool not_negative;
  ColumnUnit unit;
  ColumnType type;
  const char* meaning;
  // The cell of a test's row (not for "test" and "computed", which the
  // series and the map write).
  std::string (*cell)(const TestRow&);
  // The value in a typed row: a number, NaN where the cell is empty; a flag
  // 0 or 1; a category its index; an optional flag or body -1 where empty.
  double (*value)(const encounter::Row&);
};

// Every column, in the order of a line with all groups.
const std::vector<Column>& Columns();
// The column of that name; nullptr for none.
const Column* ColumnNamed(std::string_view name);

// The values a category column takes, in the order of its indices.
std::vector<std::string> CategoriesOf(const Column& column);

// "km/s", "deg", ...; a distance in the unit given (au: true for "AU").
std::string UnitText(ColumnUnit unit, bool au);
// "AU or km" for a distance: the unit as the table describes it.
std::string UnitDescription(ColumnUnit unit);
// "float64", "int64", "bool", "category", "boolean", "Int8".
const char* TypeName(ColumnType type);

// Whether a text is a cell the program prints in that column: it reads back
// to a value that prints as the same text (and is in range for its form).
bool CellReadsBack(const Column& column, std::string_view text);

// The column name "computed" that a refined map adds to each line.
const char* RefinedColumnName();

// Where the columns whose cells merge compares with one another stand in a
// header's names; -1 for a column the header does not hold.
struct ColumnPlaces {
  int best = -1, ratio = -1, heading = -1, body = -1, end = -1, v3_red = -1, acc_end = -1,
      acc_v3_red = -1, acc_best = -1, acc_ratio = -1, ratio_diff = -1, differs = -1, alpha = -1,
      energy_err = -1;
};
ColumnPlaces PlacesIn(const std::vector<std::string_view>& names);

}  // namespace lab
