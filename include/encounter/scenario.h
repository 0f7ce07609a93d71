// What a series starts from: a scenario, the field texts a user would type
// over it, and the distance unit.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace encounter {

enum class Unit { kAU, kKm };

struct Scenario {
  // Typed into the field "test", which loads the scenario of that number
  // (see Presets()); none: scenario 0 as the program starts.
  std::optional<std::string> test;
  // Field texts by name, typed in this order after the scenario is loaded,
  // exactly as a user would type them ("2.5 AU", "0,5"). Names: m1 m2 m3
  // dist1 dist2 start end tdfact dalpha (FieldNames()).
  std::vector<std::pair<std::string, std::string>> fields;
  // The distance unit option, chosen after the fields; none: as loaded.
  std::optional<Unit> unit;
};

// The names a Scenario's fields may carry.
std::vector<std::string> FieldNames();

}  // namespace encounter
