// Reading the Control Display fields into the state before a series: the
// distances (only when written with the unit "AU"), the masses, the angles,
// the time-step divisor and the unit option.
#include "setup/read_fields.h"

#include <cmath>
#include <string>

#include "setup/number_text.h"

namespace lab {

namespace {

// A distance field written with the unit "AU" ("1 AU", "1au", "2.5 AU   "):
// sets value to the number before the unit in km and returns true. Any other
// text, and any text of two characters or fewer, is not read.
bool ReadAUDistance(std::string text, double auc, double& value) {
  const std::size_t end = text.find_last_not_of(' ');
  text.erase(end == std::string::npos ? 0 : end + 1);
  const std::size_t n = text.size();
  if (n <= 2) return false;
  const char a = text[n - 2], u = text[n - 1];
  if ((a != 'A' && a != 'a') || (u != 'U' && u != 'u')) return false;
  value = ReadNumber(std::string_view(text).substr(0, n - 2)) * auc;
  return true;
}

}  // namespace

void INIT1(SimState& s, DisplayPort& port) {
  // A preset given in AU is converted once. Afterwards the distances are km,
  // even while the "AU" option stays selected, so a second Start must not
  // convert them again.
  if (s.aupending == 1) {
    s.dist1 = s.dist1 * s.auc;
    s.dist2 = s.dist2 * s.auc;
  }
  s.aupending = 0;

  s.auflag = ReadAUDistance(port.GetFieldText(3), s.auc, s.dist1) ? 1 : 0;
  s.auflag2 = ReadAUDistance(port.GetFieldText(4), s.auc, s.dist2) ? 1 : 0;

  s.dist2f = s.dist2 / s.dist1;

  // A comma typed in a mass stands for the point; the field then shows the point.
  double* const masses[3] = {&s.m1, &s.m2, &s.m3};
  for (int i = 0; i < 3; ++i) {
    std::string w = port.GetFieldText(i);
    for (char& c : w)
      if (c == ',') c = '.';
    *masses[i] = ReadNumber(w);
    port.SetFieldText(i, w);
  }

  // Only the divisor accepts a comma; in the angle fields a comma ends the number.
  s.alphastart = ReadNumber(port.GetFieldText(11));
  s.alphaend = ReadNumber(port.GetFieldText(12));
  s.tdeltafact = DECVAL(port.GetFieldText(13));
  s.dalpha = ReadNumber(port.GetFieldText(14));

  s.auflag = port.GetUnitOption() ? 1 : 0;

  s.alpha0 = s.alphastart;

  // The free-form scenario: body 2 starts farther out the heavier it is, and
  // a body 2 of central-mass size changes places with body 0.
  if (s.testno == 0) {
    s.m1 = 1;
    if (s.m3 > 1) s.dist2 = (2 * s.dist1) * std::sqrt(s.m3);
    if (s.m3 > 100) s.dist2 = (10 * s.dist1) * std::pow(std::sqrt(s.m3), 0.25);
    if (s.m3 >= s.mbig) {
      s.dist2 = 1.5 * s.dist1;
      s.m1 = s.m3;
      s.m3 = 1;
    }
    s.mstart[0] = s.m1 * s.msun;
    s.mstart[1] = s.m2 * s.msun;
    s.mstart[2] = s.m3 * s.msun;
    s.mul0 = s.m3 / 10;
  }
}

}  // namespace lab
