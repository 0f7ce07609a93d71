#include "row_columns.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <charconv>
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
  kCellReal,  // float64 as the CSV prints it (rounded there to a few digits)
  kMapY,      // float64: a map's y value (MapPart)
  kMapCell,   // int64: a map's cell index (MapPart)
  kMapFlag,   // bool: whether a map's cell was integrated (MapPart)
};

double Opt(const std::optional<double>& v) { return v ? *v : kNaN; }

std::int64_t CrossSmall(const encounter::Row& r, std::int64_t (*of)(const encounter::CrossCheck&)) {
  return r.cross ? of(*r.cross) : -1;
}

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

double CellReal(std::string_view cell) {
  double value = kNaN;
  if (!cell.empty()) std::from_chars(cell.data(), cell.data() + cell.size(), value);
  return value;
}

}  // namespace

// Where a known column's values come from in a typed row.
struct RowColumns::Source {
  const char* name;
  Kind kind;
  double (*real)(const encounter::Row&);
  std::int64_t (*whole)(const encounter::Row&);
};

namespace {

using Row = encounter::Row;
using Source = RowColumns::Source;

Source Real(const char* name, double (*of)(const Row&)) { return {name, Kind::kReal, of, nullptr}; }
Source Whole(const char* name, Kind kind, std::int64_t (*of)(const Row&)) {
  return {name, kind, nullptr, of};
}

const Source kSources[] = {
    Whole("test", Kind::kWhole, [](const Row& r) { return r.test; }),
    Real("alpha", [](const Row& r) { return r.alpha; }),
    Real("v1", [](const Row& r) { return r.v1; }),
    Real("v2", [](const Row& r) { return r.v2; }),
    Real("v3", [](const Row& r) { return r.v3; }),
    Real("vesc", [](const Row& r) { return r.vesc; }),
    // "Vesc #1" .. "Vesc #3" as 0 .. 2.
    Whole("vesc_heading", Kind::kSmall,
          [](const Row& r) { return std::int64_t{r.vesc_heading.back() - '1'}; }),
    Real("r3", [](const Row& r) { return r.r3; }),
    Real("rmin", [](const Row& r) { return r.rmin; }),
    Whole("v3_red", Kind::kFlag, [](const Row& r) { return std::int64_t{r.v3_red}; }),
    Whole("steps", Kind::kWhole, [](const Row& r) { return r.steps; }),
    Whole("end", Kind::kSmall, [](const Row& r) { return static_cast<std::int64_t>(r.end); }),
    Whole("best", Kind::kFlag, [](const Row& r) { return std::int64_t{r.best}; }),
    {"energy_err", Kind::kCellReal, nullptr, nullptr},
    Whole("acc_end", Kind::kSmall,
          [](const Row& r) {
            return CrossSmall(r, [](const encounter::CrossCheck& c) {
              return static_cast<std::int64_t>(c.end);
            });
          }),
    Whole("acc_v3_red", Kind::kSmall,
          [](const Row& r) {
            return CrossSmall(r, [](const encounter::CrossCheck& c) { return std::int64_t{c.v3_red}; });
          }),
    Whole("acc_best", Kind::kSmall,
          [](const Row& r) {
            return CrossSmall(r, [](const encounter::CrossCheck& c) { return std::int64_t{c.best}; });
          }),
    Real("acc_ratio", [](const Row& r) { return r.cross ? Opt(r.cross->ratio) : kNaN; }),
    {"ratio_diff", Kind::kCellReal, nullptr, nullptr},
    Whole("differs", Kind::kFlag, [](const Row& r) { return std::int64_t{r.differs}; }),
    Real("ratio", [](const Row& r) { return Opt(r.ratio); }),
    Real("t_s", [](const Row& r) { return r.t_s; }),
    Real("v1_kms", [](const Row& r) { return r.v1_kms; }),
    Real("v2_kms", [](const Row& r) { return r.v2_kms; }),
    Real("v3_kms", [](const Row& r) { return r.v3_kms; }),
    Real("vesc_kms", [](const Row& r) { return r.vesc_kms; }),
    Real("r3_km", [](const Row& r) { return r.r3_km; }),
    Real("rmin_km", [](const Row& r) { return r.rmin_km; }),
    Whole("vesc_body", Kind::kSmall,
          [](const Row& r) { return std::int64_t{r.vesc_body > 0 ? r.vesc_body : -1}; }),
    Whole("ratio_body", Kind::kSmall,
          [](const Row& r) { return std::int64_t{r.ratio && r.ratio_body > 0 ? r.ratio_body : -1}; }),
};

const Source kMapY{"", Kind::kMapY, nullptr, nullptr};
const Source kMapCell{"cell", Kind::kMapCell, nullptr, nullptr};
const Source kMapComputed{"computed", Kind::kMapFlag, nullptr, nullptr};

const Source* SourceOf(std::string_view name) {
  for (const Source& s : kSources)
    if (name == s.name) return &s;
  return nullptr;
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
                           : names[c] == "computed"         ? &kMapComputed
                                                            : SourceOf(names[c]);
    needs_cells_ = needs_cells_ || source == nullptr || source->kind == Kind::kCellReal;
    columns_.push_back({std::string(names[c]), source, c, {}, {}, {}});
  }
}

void RowColumns::Add(const encounter::Row& row, const MapPart* map) {
  const std::vector<std::string_view> cells =
      needs_cells_ ? Cells(row.csv) : std::vector<std::string_view>{};
  for (Column& c : columns_) {
    if (c.source == nullptr) {
      c.text.emplace_back(c.cell < cells.size() ? cells[c.cell] : std::string_view());
    } else if (c.source->kind == Kind::kCellReal) {
      c.real.push_back(c.cell < cells.size() ? CellReal(cells[c.cell]) : kNaN);
    } else if (c.source->kind == Kind::kReal) {
      c.real.push_back(c.source->real(row));
    } else if (c.source->kind == Kind::kMapY) {
      c.real.push_back(map ? map->y : kNaN);
    } else if (c.source->kind == Kind::kMapCell || c.source->kind == Kind::kMapFlag) {
      c.whole.push_back(!map ? 0 : c.source->kind == Kind::kMapCell ? map->cell : map->computed);
    } else {
      c.whole.push_back(c.source->whole(row));
    }
  }
  csv_ += row.csv;
  ++rows_;
}

void RowColumns::TagWarning(const std::string& text) { warnings_.emplace_back(rows_, text); }

py::dict RowColumns::ToNumpy() const {
  py::dict d;
  for (const Column& c : columns_) {
    const char* name = c.name.c_str();
    if (c.source == nullptr) {
      d[name] = c.text;
    } else if (c.source->kind == Kind::kReal || c.source->kind == Kind::kCellReal ||
               c.source->kind == Kind::kMapY) {
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
