// The columns of a series' or a map's CSV as typed arrays: filled row by row
// on the engine's thread from the public API's typed rows, and handed to
// Python once, at the end, as NumPy arrays under the CSV's column names.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "encounter/columns.h"
#include "encounter/series.h"

namespace lab {

// What a map's cell adds to its row: the y value as the CSV's first column
// shows it, the cell's index in the map and whether it was integrated.
struct MapPart {
  double y = 0;
  std::int64_t cell = 0;
  bool computed = true;
};

class RowColumns {
 public:
  // header: the CSV column names, separated by commas. y_column: a map's
  // first column (its values from MapPart::y, the column "computed" from
  // MapPart::computed, and a column "cell" after "test"); empty for a series.
  explicit RowColumns(const std::string& header, const std::string& y_column = "");

  // Both from one thread at a time (the thread that runs the series or map).
  // map: a map's cell, for every row of a map.
  void Add(const encounter::Row& row, const MapPart* map = nullptr);
  // A warning about the test whose row comes next.
  void TagWarning(const std::string& text);

  // "test" ("cell" for a map) and then every column of the header: float64 (NaN where the CSV is
  // empty), int64, bool, int8 (a category's index or a flag, -1 where the CSV
  // is empty), or a list of str for a column of another kind. With the
  // interpreter held.
  pybind11::dict ToNumpy() const;
  // The rows' CSV lines, as they came.
  const std::string& csv() const { return csv_; }
  // (position of the row among those handed out, warning about its test).
  const std::vector<std::pair<std::int64_t, std::string>>& warnings() const { return warnings_; }
  // The positions of the rows whose result should not be trusted (a map's
  // cells not computed included when their parent's is such).
  const std::vector<std::int64_t>& untrusted_rows() const { return untrusted_rows_; }

  struct Source;

 private:
  struct Column {
    std::string name;
    const Source* source;  // nullptr: text read from the row's CSV line
    std::size_t cell;      // its index in the CSV line
    std::vector<double> real;
    std::vector<std::int64_t> whole;
    std::vector<std::string> text;
  };
  std::vector<Column> columns_;
  bool needs_cells_ = false;
  std::int64_t rows_ = 0;
  std::string csv_;
  std::vector<std::pair<std::int64_t, std::string>> warnings_;
  std::vector<std::int64_t> untrusted_rows_;
};

}  // namespace lab
