// The built-in scenarios, as the fields show them once loaded.
#pragma once

#include <string>
#include <vector>

#include "encounter/scenario.h"

namespace encounter {

struct Preset {
  std::string number;  // as typed into "test": "2", "3.5", "111"
  Unit unit;           // the distance unit it selects
  // The field texts after loading, leading blanks removed.
  std::string m1, m2, m3, dist1, dist2, start, end, dalpha, tdfact;
  // "central mass" (body 1 heavy enough to dominate), "heavy body 3" (body 3
  // of a solar mass or more starts at rest) or "pair".
  std::string regime;
  bool pause = false;   // the series pauses after each test until Next
  std::string reads;    // which fields the scenario reads, in words
};

std::vector<Preset> Presets();

}  // namespace encounter
