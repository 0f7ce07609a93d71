// The columns of a series' CSV and typed rows, described: name, unit, type
// and meaning, in the order a line with every option holds them.
#pragma once

#include <string>
#include <vector>

#include "encounter/scenario.h"
#include "encounter/series.h"

namespace encounter {

struct ColumnInfo {
  std::string name;
  // "km/s", "deg", "s", "km"; "AU or km" for a distance in the unit the
  // scenario shows; empty for a count, a flag, a category or a ratio.
  std::string unit;
  // Its type in the typed rows, as pandas names it: "float64", "int64",
  // "bool", "category", "boolean" (a flag that may be missing), "Int8".
  std::string type;
  std::string meaning;
  // The option that adds it: "", "--energy", "--crosscheck", "--full",
  // "--shard" (the column test) or "--refine" (maps).
  std::string option;
  std::vector<std::string> categories;  // a category's values, by index
};

std::vector<ColumnInfo> Columns();

// The place of the column of that name in Columns(); -1 for none.
int ColumnIndex(const std::string& name);
// The value of column `index` in a typed row as a number: NaN where the CSV
// cell is empty (values as the CSV prints them); flags 0 or 1; a category's
// index; -1 for an empty optional flag, body or category. The columns the
// series or the map write themselves (test aside) give NaN.
double ColumnValue(const Row& row, int index);

// The unit of a column's values when the scenario shows distances in
// `shown`: "AU" or "km" for r3 and rmin; "" for a name that is no column.
std::string ColumnUnit(const std::string& name, Unit shown);

}  // namespace encounter
