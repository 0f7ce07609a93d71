// The public library's distance units, from the engine's units.
#include "encounter/units.h"

#include "control/handlers.h"
#include "control/headless_port.h"
#include "records/texts.h"
#include "setup/number_text.h"
#include "setup/units.h"

namespace encounter {

const char* UnitName(Unit unit) { return lab::UnitName(unit == Unit::kAU); }

std::optional<Unit> UnitOfName(const std::string& name) {
  std::string lower = name;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  for (Unit unit : {Unit::kAU, Unit::kKm}) {
    std::string n = UnitName(unit);
    for (char& c : n)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (lower == n) return unit;
  }
  return std::nullopt;
}

std::string UnitRefusal(const std::string& name) {
  return "--unit takes au or km, not " + lab::Echo(name);
}

Unit ShownUnit(const std::optional<std::string>& test, const std::optional<Unit>& unit) {
  if (unit) return *unit;
  lab::SimState s;
  lab::HeadlessPort port(s);
  lab::Form_Load(s, port);
  if (test) port.Paste(10, *test);
  return port.GetUnitOption() ? Unit::kAU : Unit::kKm;
}

std::string DistanceText(double value, Unit shown, double* km_read) {
  const std::string text = lab::DistanceFieldText(value, shown == Unit::kAU);
  if (km_read) *km_read = lab::KmOfAu(lab::ReadNumber(text.substr(0, text.size() - 3)));
  return text;
}

}  // namespace encounter
