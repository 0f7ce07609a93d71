#include "setup/units.h"

#include <charconv>
#include <cmath>

namespace lab {

double AuOfKm(double km) {
  // km / kKmPerAu is within a few units in the last place of the best
  // number; the neighbours two either way are compared, the nearer first
  // where two read back equally near.
  const double au = km / kKmPerAu;
  double best = au, up = au, down = au;
  for (int k = 0; k < 2; ++k) {
    up = std::nextafter(up, HUGE_VAL);
    down = std::nextafter(down, -HUGE_VAL);
    for (double candidate : {up, down})
      if (std::fabs(KmOfAu(candidate) - km) < std::fabs(KmOfAu(best) - km)) best = candidate;
  }
  return best;
}

std::string DistanceFieldText(double value, bool au) {
  const double number = au ? value : AuOfKm(value);
  char buf[32];
  const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, number);
  return (ec == std::errc() ? std::string(buf, p) : std::string()) + " AU";
}

const char* UnitName(bool au) { return au ? "AU" : "km"; }

}  // namespace lab
