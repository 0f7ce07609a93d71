// The scenario of a series or a map as the Python layer hands it over: the
// text of the field "test", the field edits in order, the unit option.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "encounter/encounter.h"
#include "encounter/units.h"

namespace lab {

inline encounter::Scenario ScenarioOf(std::optional<std::string> test,
                                      const std::vector<std::pair<std::string, std::string>>& fields,
                                      const std::optional<std::string>& unit) {
  encounter::Scenario scenario;
  scenario.test = std::move(test);
  scenario.fields = fields;
  if (unit) {
    const auto known = encounter::UnitOfName(*unit);
    if (!known) throw encounter::InputError(encounter::UnitRefusal(*unit));
    scenario.unit = *known;
  }
  return scenario;
}

}  // namespace lab
