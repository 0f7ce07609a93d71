// What Start would make of the Control Display as it stands, checked in the
// windows before a series begins, with the batch runner's checks and words
// (setup/series_checks.h): a series that would not end or a number that is not
// finite keeps Start from beginning; a text that reads as less than it says,
// or that the scenario does not read, is told and the series runs. As on the
// command line, where only the texts given are checked, only the texts the
// user typed are: those the program wrote are what the scenario uses.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "encounter/scenario.h"
#include "state/sim_state.h"
#include "port/display_port.h"

namespace lab {

struct StartCheck {
  std::string refusal;  // not empty: the series must not begin, and why
  std::vector<std::string> warnings;
};

// typed: which Control Display fields hold a text the user typed.
StartCheck CheckStart(const SimState& s, DisplayPort& port,
                      const std::array<bool, kControlFields>& typed);

// The Control Display as the public API's scenario, as the batch runner's
// options would give it: the text of "test", the texts the user typed over
// the scenario (in the order Start checks them) and the unit option.
encounter::Scenario ScenarioOfFields(DisplayPort& port,
                                     const std::array<bool, kControlFields>& typed);

// The note beside the field "test" when its number names no scenario; empty
// when it names one. loaded: the scenario whose values the fields hold.
std::string TestFieldNote(double testno, double loaded);

}  // namespace lab
