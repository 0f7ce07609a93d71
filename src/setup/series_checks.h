// What Start will make of the texts in the fields, checked before a series
// begins: a series that would not end, a number that is not finite, and texts
// that read as less than they say. The windows and the batch runner ask the
// same questions and tell the user in the same words; each names the text in
// its own way (the subject: `--set dist1="2"` on the command line, the field
// and its text in the windows).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "state/sim_state.h"

namespace lab {

// A series of more tests than this is a mistake, not a study.
inline constexpr std::int64_t kMostTests = 1000000000;

// The angles of the series as Start reads them from "start", "end" and "d alpha".
struct SeriesAngles {
  double start, end, step;
};
SeriesAngles AnglesOfTexts(const std::string& start, const std::string& end,
                           const std::string& dalpha);

// How many tests the series runs, exactly as the run loop advances the angle
// (alpha0 + dalpha, while at or below the last angle); or 0 and why it cannot
// run: a series that never ends, or that would run more than 10^9 tests.
// dalpha_echo is the text of "d alpha" as the message quotes it.
std::int64_t CountSeries(const SeriesAngles& a, const std::string& dalpha_echo,
                         std::string* refusal);

// Whether a field's text reads as a number from its first to its last
// character (blanks aside), as opposed to a number followed by other text.
bool ReadsWhole(std::string text, bool comma_is_point);

// Whether a distance text ends in the unit AU, the only way it is read.
bool EndsInAU(std::string text);

// What the rest of the fields mean for one field's text.
struct FieldCheckContext {
  double testno = 0;   // the scenario number Start will use
  double m3 = 0;       // "m3" as Start will read it
};

// Checks the text of a Control Display field Start reads (0 to 4, 11 to 14).
// Appends what Start does not do as the text says to *warnings; returns false
// with *refusal set when the text cannot be used at all (not finite).
bool CheckFieldText(int field, const std::string& text, const std::string& subject,
                    const FieldCheckContext& c, std::vector<std::string>* warnings,
                    std::string* refusal);

// Checks the text of the field "test": a number followed by other text, and a
// number that names no scenario.
void CheckTestText(const std::string& text, double testno, const std::string& subject,
                   std::vector<std::string>* warnings);

// Body 3 is meant to fall in on the pair from far out. It starts on the x
// axis at dist2 from the pair's centre of mass, and the lighter body of the
// pair circles that centre at up to dist1 (the whole separation as the mass
// ratio grows), so a start at or inside dist1 (dist2 <= dist1) may put it
// among the pair's orbits from the first step. started: the state once the
// fields are read (distances in km, auflag the unit shown). Empty when body 3
// starts outside the separation.
std::string InsidePairWarning(const SimState& started);

// The caption of a Control Display field ("dist 1").
const char* FieldCaption(int field);

}  // namespace lab
