// The distance units: the astronomical unit in km, the conversions, the text
// a distance is typed as, and the unit the fields show.
#pragma once

#include <string>

namespace lab {

// Kilometres per astronomical unit, as the program converts distances.
inline constexpr double kKmPerAu = 149600000;

inline double KmOfAu(double au) { return au * kKmPerAu; }

// The number of AU that reads back as exactly km kilometres where one does
// (about nine in ten), else the one that reads back nearest to it.
double AuOfKm(double km);

// The text a distance field is typed as: the program reads a distance only
// with the unit AU, so a value in km is typed as the AU that reads back as
// it (AuOfKm). value: in AU when au, else in km; the number is the shortest
// text that reads back to it ("2.5 AU", "0.00013368983957219252 AU").
std::string DistanceFieldText(double value, bool au);

// The distance unit option's text: "AU" or "km".
const char* UnitName(bool au);

}  // namespace lab
