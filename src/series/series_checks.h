// What a series will do, checked before its first test as a careful user
// would check the fields: how many tests it runs (or why it would never end),
// and the field texts that will not be read as they look.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "port/headless_port.h"
#include "state/sim_state.h"

namespace lab {

// A series of more tests than this is a mistake, not a study.
inline constexpr std::int64_t kMostTests = 1000000000;

// The angles of the series as Start will read them from the fields.
struct Angles {
  double start, end, step;
};
Angles AnglesOf(HeadlessPort& port);

// How many tests the series runs, exactly as the run loop advances the angle
// (alpha0 + dalpha, while at or below the last angle); or 0 and why it cannot
// run in *refusal: nobody is there to press Stop on a series that never ends.
std::int64_t CountSeries(const Angles& a, const std::string& dalpha_text, std::string* refusal);

// Whether a field's text reads as a number from its first to its last
// character (blanks aside), as opposed to a number followed by other text.
bool ReadsWhole(std::string text, bool comma_is_point);
// Whether a distance text ends in the unit AU, the only way such a field is read.
bool EndsInAU(std::string text);

// The scenario numbers, separated by blanks; and whether a number is one.
std::string ScenarioList();
bool IsScenario(double testno);

// What the scenario text and the field texts (field index, text) ask for that
// the set-up will not do as the user may think, in the order given. A number
// that is not finite is refused: *refusal says why.
std::vector<std::string> SetUpWarnings(const std::optional<std::string>& test_text,
                                       const std::vector<std::pair<int, std::string>>& sets,
                                       const SimState& s, HeadlessPort& port,
                                       std::string* refusal);

}  // namespace lab
