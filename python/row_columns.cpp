#include "row_columns.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <limits>
#include <string_view>

namespace lab {

namespace py = pybind11;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

enum class Kind {
  kReal,      // float64
  kWhole,     // int64
  kFlag,      // bool
  kSmall,     // int8: a category's index, a body, a flag; -1 where the CSV is empty
  kMapY,      // float64: a map's y value (MapPart)
  kMapCell,   // int64: a map's cell index (MapPart)
  kMapFlag,   // bool: whether a map's cell was integrated (MapPart)
};

std::vector<std::string_view> Cells(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  std::vector<std::string_view> cells;
  for (;;) {
    const std::size_t comma = line.find(',');
    cells.push_back(line.substr(0, comma));
    if (comma == std::string_view::npos) return cells;
    line.remove_prefix(comma + 1);
  }
}

// The array a column of the engine's table fills, by its type there.
Kind KindOfType(const std::string& type) {
  if (type == "float64") return Kind::kReal;
  if (type == "int64") return Kind::kWhole;
  if (type == "bool") return Kind::kFlag;
  return Kind::kSmall;
}

}  // namespace

// Where a column's values come from: the engine's table (index), or the
// map's part of the row.
struct RowColumns::Source {
  Kind kind;
  int index;  // in encounter::Columns(); -1 for the map's parts
};

namespace {

using Source = RowColumns::Source;

// The sources of the columns of the table, in its order.
const std::vector<Source>& TableSources() {
  static const std::vector<Source> sources = [] {
    std::vector<Source> all;
    for (const encounter::ColumnInfo& c : encounter::Columns())
      all.push_back({KindOfType(c.type), static_cast<int>(all.size())});
    return all;
  }();
  return sources;
}

const Source kMapY{Kind::kMapY, -1};
const Source kMapCell{Kind::kMapCell, -1};
const Source kMapComputed{Kind::kMapFlag, -1};

const Source* SourceOf(std::string_view name) {
  const int index = encounter::ColumnIndex(std::string(name));
  return index < 0 ? nullptr : &TableSources()[static_cast<std::size_t>(index)];
}

// The column a refined map adds to its rows.
bool MapsOwnColumn(std::string_view name) {
  const int index = encounter::ColumnIndex(std::string(name));
  return index >= 0 && encounter::Columns()[static_cast<std::size_t>(index)].option == "--refine";
}

template <typename T>
py::array_t<T> ArrayOf(const std::vector<std::int64_t>& values) {
  py::array_t<T> a(static_cast<py::ssize_t>(values.size()));
  T* out = a.mutable_data();
  for (std::int64_t v : values) *out++ = static_cast<T>(v);
  return a;
}

}  // namespace

RowColumns::RowColumns(const std::string& header, const std::string& y_column) {
  // The column "test" is the row's index whether or not the CSV prints it.
  columns_.push_back({"test", SourceOf("test"), 0, {}, {}, {}});
  const bool map = !y_column.empty();
  if (map) columns_.push_back({"cell", &kMapCell, 0, {}, {}, {}});
  const std::vector<std::string_view> names = Cells(header);
  for (std::size_t c = 0; c < names.size(); ++c) {
    if (names[c] == "test") continue;
    const Source* source = !map ? SourceOf(names[c])
                           : c == 0 && names[c] == y_column ? &kMapY
                           : MapsOwnColumn(names[c])        ? &kMapComputed
                                                            : SourceOf(names[c]);
    needs_cells_ = needs_cells_ || source == nullptr;
    columns_.push_back({std::string(names[c]), source, c, {}, {}, {}});
  }
}

void RowColumns::Add(const encounter::Row& row, const MapPart* map) {
  const std::vector<std::string_view> cells =
      needs_cells_ ? Cells(row.csv) : std::vector<std::string_view>{};
  for (Column& c : columns_) {
    if (c.source == nullptr) {
      c.text.emplace_back(c.cell < cells.size() ? cells[c.cell] : std::string_view());
    } else if (c.source->kind == Kind::kReal) {
      c.real.push_back(encounter::ColumnValue(row, c.source->index));
    } else if (c.source->kind == Kind::kMapY) {
      c.real.push_back(map ? map->y : kNaN);
    } else if (c.source->kind == Kind::kMapCell || c.source->kind == Kind::kMapFlag) {
      c.whole.push_back(!map ? 0 : c.source->kind == Kind::kMapCell ? map->cell : map->computed);
    } else {
      c.whole.push_back(static_cast<std::int64_t>(encounter::ColumnValue(row, c.source->index)));
    }
  }
  csv_ += row.csv;
  if (row.untrusted) untrusted_rows_.push_back(rows_);
  ++rows_;
}

void RowColumns::TagWarning(const std::string& text) { warnings_.emplace_back(rows_, text); }

py::dict RowColumns::ToNumpy() const {
  py::dict d;
  for (const Column& c : columns_) {
    const char* name = c.name.c_str();
    if (c.source == nullptr) {
      d[name] = c.text;
    } else if (c.source->kind == Kind::kReal || c.source->kind == Kind::kMapY) {
      d[name] = py::array_t<double>(static_cast<py::ssize_t>(c.real.size()), c.real.data());
    } else if (c.source->kind == Kind::kWhole || c.source->kind == Kind::kMapCell) {
      d[name] = ArrayOf<std::int64_t>(c.whole);
    } else if (c.source->kind == Kind::kFlag || c.source->kind == Kind::kMapFlag) {
      d[name] = ArrayOf<bool>(c.whole);
    } else {
      d[name] = ArrayOf<std::int8_t>(c.whole);
    }
  }
  return d;
}

}  // namespace lab
