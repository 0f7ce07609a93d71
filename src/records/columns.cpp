// The table of the CSV's columns. A column is one entry here: its cell in a
// line and its value in a typed row beside its description.
#include "records/columns.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "encounter/end.h"
#include "records/cross_columns.h"
#include "records/csv.h"
#include "records/texts.h"
#include "setup/number_text.h"
#include "simulation/cross_outcome.h"

namespace lab {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr const char* kHeadings[] = {"Vesc #1", "Vesc #2", "Vesc #3"};

std::string Digits(double v, int digits) {
  char buf[40];
  const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
  return ec == std::errc() ? std::string(buf, p) : std::string();
}

std::string Flag(bool on) { return on ? "1" : "0"; }
double Opt(const std::optional<double>& v) { return v ? *v : kNaN; }

// The whole text as a finite double; the E of the fields' texts read as e.
std::optional<double> ReadReal(std::string_view text) {
  std::string t(text);
  const std::size_t e = t.find('E');
  if (e != std::string::npos) t[e] = 'e';
  double v = 0;
  const auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (t.empty() || ec != std::errc() || p != t.data() + t.size() || !std::isfinite(v))
    return std::nullopt;
  return v;
}

// A printed number read back: as the cell shows it, so the typed rows hold
// what the CSV holds.
double AsPrinted(const std::string& text) {
  const auto v = ReadReal(text);
  return v ? *v : kNaN;
}

std::string CrossEnd(const TestRow& r) { return r.cross ? r.cross->end : ""; }
std::string CrossFlag(const TestRow& r, bool CrossOutcome::*flag) {
  return r.cross ? Flag(*r.cross.*flag) : "";
}
double TypedCrossFlag(const encounter::Row& r, bool encounter::CrossCheck::*flag) {
  return r.cross ? (*r.cross.*flag ? 1 : 0) : -1;
}

// The fields' number text with at most `decimals` digits after the point,
// the others cut off (never rounded), as the window cuts what it shows.
std::string CutText(double v, std::size_t decimals) {
  std::string t = NumberText(v);
  const std::size_t e = t.find('E');
  if (e != std::string::npos) return t[e + 1] == '-' ? "0" : t;
  const std::size_t point = t.find('.');
  if (point == std::string::npos) return t;
  t.resize(std::min(t.size(), point + 1 + decimals));
  while (t.back() == '0') t.pop_back();
  if (t.back() == '.') t.pop_back();
  return t == "-0" ? "0" : t;
}

// The printed form of each CellForm, for the forms printed from a number.
std::string PrintNumber(CellForm form, double v) {
  switch (form) {
    case CellForm::kNumber: return NumberText(v);
    case CellForm::kCut2: return CutText(v, 2);
    case CellForm::kCut3: return CutText(v, 3);
    case CellForm::kDigits3: return Digits(v, 3);
    case CellForm::kDigits6: return Digits(v, 6);
    case CellForm::kDigits17: return ExactText(v);
    case CellForm::kShortest: return ShortestText(v);
    default: return std::to_string(static_cast<std::int64_t>(v));
  }
}

using R = encounter::Row;
using T = TestRow;
using G = ColumnGroup;
using F = CellForm;
using U = ColumnUnit;
using Ty = ColumnType;

const std::vector<Column> kColumns = {
    {"test", G::kShard, F::kWhole, false, true, U::kNone, Ty::kWhole,
     "index of the test in the series, from 0", nullptr,
     [](const R& r) { return static_cast<double>(r.test); }},
    {"alpha", G::kFixed, F::kNumber, false, false, U::kDegrees, Ty::kReal,
     "start angle of the test", [](const T& t) { return t.row1[0]; },
     [](const R& r) { return r.alpha; }},
    {"v1", G::kFixed, F::kCut3, false, true, U::kKmPerS, Ty::kReal,
     "speed of body 1 at the end, cut to 3 decimals", [](const T& t) { return t.row1[1]; },
     [](const R& r) { return r.v1; }},
    {"v2", G::kFixed, F::kCut3, false, true, U::kKmPerS, Ty::kReal,
     "speed of body 2 at the end, cut to 3 decimals", [](const T& t) { return t.row1[2]; },
     [](const R& r) { return r.v2; }},
    {"v3", G::kFixed, F::kCut3, false, true, U::kKmPerS, Ty::kReal,
     "speed of body 3 at the end, cut to 3 decimals", [](const T& t) { return t.row1[3]; },
     [](const R& r) { return r.v3; }},
    {"vesc", G::kFixed, F::kCut3, false, true, U::kKmPerS, Ty::kReal,
     "the escape speed shown, cut to 3 decimals", [](const T& t) { return t.row1[4]; },
     [](const R& r) { return r.vesc; }},
    {"vesc_heading", G::kFixed, F::kHeading, false, false, U::kNone, Ty::kCategory,
     "whose escape speed: Vesc #1, Vesc #2 or Vesc #3", [](const T& t) { return t.vesc_heading; },
     [](const R& r) { return static_cast<double>(r.vesc_heading.back() - '1'); }},
    {"r3", G::kFixed, F::kCut2, false, true, U::kDistance, Ty::kReal,
     "body 3 from the farther of bodies 1 and 2 at the end; AU cut to 2 decimals, km whole",
     [](const T& t) { return t.row1[5]; }, [](const R& r) { return r.r3; }},
    {"rmin", G::kFixed, F::kCut2, false, true, U::kDistance, Ty::kReal,
     "smallest distance of body 3 from body 1 or 2, cut as r3", [](const T& t) { return t.row1[6]; },
     [](const R& r) { return r.rmin; }},
    {"v3_red", G::kFixed, F::kFlag, false, true, U::kNone, Ty::kFlag,
     "1 when V #3 was shown in light red (faster than its escape speed)",
     [](const T& t) { return Flag(t.v3_red); }, [](const R& r) { return r.v3_red ? 1.0 : 0.0; }},
    {"steps", G::kFixed, F::kWhole, false, true, U::kNone, Ty::kWhole,
     "steps integrated (fixed or adaptive, by the method in use)",
     [](const T& t) { return std::to_string(t.steps); },
     [](const R& r) { return static_cast<double>(r.steps); }},
    {"end", G::kFixed, F::kEnd, false, false, U::kNone, Ty::kCategory,
     "what ended the test: escaped (body 3 passed and left beyond its start distance), receded "
     "(a heavy body 3 drew away), absorbed, passages (the set number of closest approaches), "
     "limit (the step limit), next (Next pressed) or none",
     [](const T& t) { return t.end; }, [](const R& r) { return static_cast<double>(r.end); }},
    {"best", G::kFixed, F::kFlag, false, true, U::kNone, Ty::kFlag,
     "1 when the test is the best so far: its ratio is below every earlier test's (the Data "
     "Display shows it in row 2)",
     [](const T& t) { return Flag(t.best); }, [](const R& r) { return r.best ? 1.0 : 0.0; }},
    {"energy_err", G::kEnergy, F::kDigits6, true, false, U::kNone, Ty::kReal,
     "relative change of the total energy over the test; empty after an absorption",
     [](const T& t) { return t.energy_err ? Digits(*t.energy_err, 6) : std::string(); },
     [](const R& r) { return r.energy_err ? AsPrinted(Digits(*r.energy_err, 6)) : kNaN; }},
    {"acc_end", G::kCrosscheck, F::kEnd, true, false, U::kNone, Ty::kCategory,
     "end of the test under gauss-radau; empty when that run gave no results", CrossEnd,
     [](const R& r) { return r.cross ? static_cast<double>(r.cross->end) : -1.0; }},
    {"acc_v3_red", G::kCrosscheck, F::kFlag, true, true, U::kNone, Ty::kOptionalFlag,
     "its v3_red", [](const T& t) { return CrossFlag(t, &CrossOutcome::v3_red); },
     [](const R& r) { return TypedCrossFlag(r, &encounter::CrossCheck::v3_red); }},
    {"acc_best", G::kCrosscheck, F::kFlag, true, true, U::kNone, Ty::kOptionalFlag,
     "1 when it is the best test so far under gauss-radau",
     [](const T& t) { return CrossFlag(t, &CrossOutcome::best); },
     [](const R& r) { return TypedCrossFlag(r, &encounter::CrossCheck::best); }},
    {"acc_ratio", G::kCrosscheck, F::kDigits17, true, true, U::kNone, Ty::kReal,
     "its ratio under gauss-radau",
     [](const T& t) { return t.cross && t.cross->candidate ? ExactText(t.cross->ratio) : ""; },
     [](const R& r) { return r.cross ? Opt(r.cross->ratio) : kNaN; }},
    {"ratio_diff", G::kCrosscheck, F::kDigits3, true, false, U::kNone, Ty::kReal,
     "(ratio - acc_ratio) / acc_ratio, when both exist",
     [](const T& t) {
       return t.cross && t.cross->candidate && t.candidate && t.cross->ratio != 0
                  ? RatioDiffText(t.ratio, t.cross->ratio)
                  : "";
     },
     [](const R& r) {
       return r.cross && r.cross->ratio_diff ? AsPrinted(Digits(*r.cross->ratio_diff, 3)) : kNaN;
     }},
    {"differs", G::kCrosscheck, F::kFlag, false, true, U::kNone, Ty::kFlag,
     "1 when the two methods disagree on end, best or v3_red, or the accurate run gave no results",
     [](const T& t) { return Flag(OutcomesDiffer(t)); },
     [](const R& r) { return r.differs ? 1.0 : 0.0; }},
    {"ratio", G::kRatio, F::kDigits17, true, true, U::kNone, Ty::kReal,
     "speed of body 1 or 2 (ratio_body) divided by vesc, 17 digits; empty when the test could "
     "not be the best (body 2 ended within the absorption distance, or no escape speed)",
     [](const T& t) { return t.candidate ? ExactText(t.ratio) : ""; },
     [](const R& r) { return Opt(r.ratio); }},
    {"t_s", G::kFull, F::kShortest, false, true, U::kSeconds, Ty::kReal,
     "end time of the test: steps x time step", [](const T& t) { return ShortestText(t.t_s); },
     [](const R& r) { return r.t_s; }},
    {"v1_kms", G::kFull, F::kShortest, false, true, U::kKmPerS, Ty::kReal,
     "speed of body 1 at the end, unrounded", [](const T& t) { return ShortestText(t.v[0]); },
     [](const R& r) { return r.v1_kms; }},
    {"v2_kms", G::kFull, F::kShortest, false, true, U::kKmPerS, Ty::kReal,
     "speed of body 2 at the end, unrounded", [](const T& t) { return ShortestText(t.v[1]); },
     [](const R& r) { return r.v2_kms; }},
    {"v3_kms", G::kFull, F::kShortest, false, true, U::kKmPerS, Ty::kReal,
     "speed of body 3 at the end, unrounded", [](const T& t) { return ShortestText(t.v[2]); },
     [](const R& r) { return r.v3_kms; }},
    {"vesc_kms", G::kFull, F::kShortest, false, true, U::kKmPerS, Ty::kReal,
     "the escape speed shown, unrounded", [](const T& t) { return ShortestText(t.vesc); },
     [](const R& r) { return r.vesc_kms; }},
    {"r3_km", G::kFull, F::kShortest, false, true, U::kKm, Ty::kReal,
     "r3, unrounded", [](const T& t) { return ShortestText(t.r3); },
     [](const R& r) { return r.r3_km; }},
    {"rmin_km", G::kFull, F::kShortest, false, true, U::kKm, Ty::kReal,
     "rmin, unrounded", [](const T& t) { return ShortestText(t.rmin); },
     [](const R& r) { return r.rmin_km; }},
    {"vesc_body", G::kFull, F::kBody, false, true, U::kNone, Ty::kOptionalBody,
     "whose escape speed vesc is: 1, 2 or 3",
     [](const T& t) { return t.vesc_body > 0 ? std::to_string(t.vesc_body) : ""; },
     [](const R& r) { return r.vesc_body > 0 ? r.vesc_body : -1.0; }},
    {"ratio_body", G::kFull, F::kBody, true, true, U::kNone, Ty::kOptionalBody,
     "whose speed ratio divides by vesc: 1 or 2 (empty where ratio is)",
     [](const T& t) {
       return t.candidate && t.ratio_body > 0 ? std::to_string(t.ratio_body) : "";
     },
     [](const R& r) { return r.ratio && r.ratio_body > 0 ? r.ratio_body : -1.0; }},
    {"computed", G::kRefined, F::kFlag, false, true, U::kNone, Ty::kFlag,
     "1 when the map's cell was integrated, 0 when it took its parent's outcome",
     nullptr, nullptr},
};

}  // namespace

const std::vector<Column>& Columns() { return kColumns; }

const Column* ColumnNamed(std::string_view name) {
  for (const Column& c : kColumns)
    if (name == c.name) return &c;
  return nullptr;
}

const char* RefinedColumnName() { return kColumns.back().name; }

ColumnPlaces PlacesIn(const std::vector<std::string_view>& names) {
  ColumnPlaces at;
  const std::pair<int*, const char*> wanted[] = {
      {&at.best, "best"},           {&at.ratio, "ratio"},         {&at.heading, "vesc_heading"},
      {&at.body, "vesc_body"},      {&at.end, "end"},             {&at.v3_red, "v3_red"},
      {&at.acc_end, "acc_end"},     {&at.acc_v3_red, "acc_v3_red"}, {&at.acc_best, "acc_best"},
      {&at.acc_ratio, "acc_ratio"}, {&at.ratio_diff, "ratio_diff"}, {&at.differs, "differs"},
      {&at.alpha, "alpha"},         {&at.energy_err, "energy_err"}};
  for (const auto& [place, name] : wanted)
    for (std::size_t c = 0; c < names.size(); ++c)
      if (names[c] == name) *place = static_cast<int>(c);
  return at;
}

std::vector<std::string> CategoriesOf(const Column& column) {
  if (column.form == CellForm::kEnd) return {encounter::kEndWords.begin(), encounter::kEndWords.end()};
  if (column.form == CellForm::kHeading) return {std::begin(kHeadings), std::end(kHeadings)};
  return {};
}

std::string UnitText(ColumnUnit unit, bool au) {
  switch (unit) {
    case ColumnUnit::kNone: return "";
    case ColumnUnit::kDegrees: return "deg";
    case ColumnUnit::kKmPerS: return "km/s";
    case ColumnUnit::kKm: return "km";
    case ColumnUnit::kSeconds: return "s";
    case ColumnUnit::kDistance: return au ? "AU" : "km";
  }
  return "";
}

std::string UnitDescription(ColumnUnit unit) {
  return unit == ColumnUnit::kDistance ? UnitText(unit, true) + " or " + UnitText(unit, false)
                                       : UnitText(unit, false);
}

const char* TypeName(ColumnType type) {
  switch (type) {
    case ColumnType::kReal: return "float64";
    case ColumnType::kWhole: return "int64";
    case ColumnType::kFlag: return "bool";
    case ColumnType::kCategory: return "category";
    case ColumnType::kOptionalFlag: return "boolean";
    case ColumnType::kOptionalBody: return "Int8";
  }
  return "";
}

bool CellReadsBack(const Column& column, std::string_view text) {
  if (text.empty()) return column.may_be_empty;
  switch (column.form) {
    case CellForm::kEnd: return encounter::EndOfName(text).has_value();
    case CellForm::kHeading:
      for (const char* h : kHeadings)
        if (text == h) return true;
      return false;
    case CellForm::kWhole:
    case CellForm::kFlag:
    case CellForm::kBody: {
      std::int64_t n = 0;
      const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
      if (ec != std::errc() || p != text.data() + text.size() || std::to_string(n) != text)
        return false;
      const std::int64_t most = column.form == CellForm::kFlag ? 1
                                : column.form == CellForm::kBody ? 3
                                                                 : std::numeric_limits<std::int64_t>::max();
      return n >= (column.form == CellForm::kBody ? 1 : 0) && n <= most;
    }
    default: {
      const auto v = ReadReal(text);
      return v && PrintNumber(column.form, *v) == text &&
             !(column.not_negative && (*v < 0 || std::signbit(*v)));
    }
  }
}

}  // namespace lab
