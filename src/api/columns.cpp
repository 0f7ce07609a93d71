// The public description of the columns, read from the engine's table.
#include "encounter/columns.h"

#include <limits>

#include "records/columns.h"

namespace encounter {

namespace {

const char* OptionOf(lab::ColumnGroup group) {
  switch (group) {
    case lab::ColumnGroup::kShard: return "--shard";
    case lab::ColumnGroup::kEnergy: return "--energy";
    case lab::ColumnGroup::kCrosscheck: return "--crosscheck";
    case lab::ColumnGroup::kFull: return "--full";
    case lab::ColumnGroup::kRefined: return "--refine";
    default: return "";
  }
}

}  // namespace

std::vector<ColumnInfo> Columns() {
  std::vector<ColumnInfo> all;
  for (const lab::Column& c : lab::Columns())
    all.push_back({c.name, lab::UnitDescription(c.unit), lab::TypeName(c.type), c.meaning,
                   OptionOf(c.group), lab::CategoriesOf(c)});
  return all;
}

int ColumnIndex(const std::string& name) {
  const auto& all = lab::Columns();
  for (std::size_t k = 0; k < all.size(); ++k)
    if (name == all[k].name) return static_cast<int>(k);
  return -1;
}

double ColumnValue(const Row& row, int index) {
  const auto& all = lab::Columns();
  if (index < 0 || static_cast<std::size_t>(index) >= all.size() || !all[index].value)
    return std::numeric_limits<double>::quiet_NaN();
  return all[index].value(row);
}

std::string ColumnUnit(const std::string& name, Unit shown) {
  const lab::Column* c = lab::ColumnNamed(name);
  return c ? lab::UnitText(c->unit, shown == Unit::kAU) : "";
}

}  // namespace encounter
