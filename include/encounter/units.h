// The distance units of a scenario, and the text a distance is typed as.
#pragma once

#include <optional>
#include <string>

#include "encounter/scenario.h"

namespace encounter {

// "AU" or "km", as the unit option is labelled.
const char* UnitName(Unit unit);
// The unit named "au" or "km", in any case; nothing for any other text.
std::optional<Unit> UnitOfName(const std::string& name);
// The refusal of a unit name UnitOfName does not know, as the command line
// words it.
std::string UnitRefusal(const std::string& name);

// The distance unit the fields show after the scenario of the field text
// `test` is loaded (none: scenario 0) and the unit option `unit` is chosen.
Unit ShownUnit(const std::optional<std::string>& test, const std::optional<Unit>& unit);

// The field text that types a distance of `value` in the unit `shown`
// ("2.5 AU"). Distances are read only with the unit AU, so a value in km is
// typed as the number of AU that reads back as exactly that many km where
// one does, else as near as one can. *km_read, when given: the km the text
// reads back as.
std::string DistanceText(double value, Unit shown, double* km_read = nullptr);

}  // namespace encounter
