// Numbers as the fields show them, and the rule by which every field is read.
#pragma once

#include <string>
#include <string_view>

namespace lab {

// The value rounded to 15 significant digits, shortest form, point as the
// decimal separator: "0.001", "350.6225", "-2.5", "1100".
std::string NumberText(double value);

// As NumberText, but a blank stands for the sign of values >= 0 and values
// strictly between -1 and 1 drop the zero before the point: " .04", "-2.5", " 0".
std::string SignedText(double value);

// The number a field's text begins with: blanks, tabs and line feeds skipped
// anywhere, optional sign, digits, point, exponent (E or D), or an &H / &O
// integer; reading stops at the first other character; 0 when there is none.
double ReadNumber(std::string_view text);

// ReadNumber after every comma has been turned into a point.
double DECVAL(std::string_view text);

}  // namespace lab
