// Number texts of the fields and the rule by which every field is read.
// Both directions are independent of the user's locale: the decimal separator
// is always the point, so a text the program writes reads back the same.
#include "setup/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <system_error>

namespace lab {

namespace {

// Fifteen significant digits, the digits a double holds for certain.
constexpr int kDigits = 15;

// An exponent is read up to this size; beyond it nothing changes, and the
// arithmetic on it stays far from the limits of a 64-bit integer.
constexpr std::int64_t kExponentCap = 1000000000000000;

// A leading digit at a decimal exponent beyond this overflows a double, one
// below its negative underflows even the smallest denormal.
constexpr std::int64_t kOutOfRange = 400;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Hex digits (no prefix, at least one) as a double, correctly rounded; too
// many digits for a double give infinity.
double FromHexDigits(const std::string& digits) {
  double value = 0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                      std::chars_format::hex);
  if (result.ec == std::errc::result_out_of_range) return HUGE_VAL;
  return value;
}

// The integer after &H: as many hexadecimal digits as follow.
double ReadHex(const std::string& t, std::size_t i) {
  std::string digits;
  while (i < t.size() && HexDigit(t[i]) >= 0) digits.push_back(t[i++]);
  return digits.empty() ? 0.0 : FromHexDigits(digits);
}

// The integer after &O. Octal digits are regrouped bit by bit into hex
// digits, so that long values round as once, like the decimal ones.
double ReadOctal(const std::string& t, std::size_t i) {
  std::string bits;
  while (i < t.size() && t[i] >= '0' && t[i] <= '7') {
    const int d = t[i++] - '0';
    bits.push_back((d & 4) ? '1' : '0');
    bits.push_back((d & 2) ? '1' : '0');
    bits.push_back((d & 1) ? '1' : '0');
  }
  if (bits.empty()) return 0;
  bits.insert(0, (4 - bits.size() % 4) % 4, '0');
  std::string hex;
  for (std::size_t k = 0; k < bits.size(); k += 4) {
    const int nibble = (bits[k] - '0') * 8 + (bits[k + 1] - '0') * 4 + (bits[k + 2] - '0') * 2 +
                       (bits[k + 3] - '0');
    hex.push_back("0123456789ABCDEF"[nibble]);
  }
  return FromHexDigits(hex);
}

// A decimal number at t[i]: sign, digits, point and digits, exponent. The
// longest leading part that forms a number counts; none gives 0.
double ReadDecimal(const std::string& t, std::size_t i) {
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';

  std::string intpart, fracpart;
  while (i < t.size() && IsDigit(t[i])) intpart.push_back(t[i++]);
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && IsDigit(t[i])) fracpart.push_back(t[i++]);
  }
  if (intpart.empty() && fracpart.empty()) return 0;

  // The exponent counts only when at least one digit follows its letter.
  std::int64_t exponent = 0;
  if (i < t.size() && (Upper(t[i]) == 'E' || Upper(t[i]) == 'D')) {
    std::size_t j = i + 1;
    bool expneg = false;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) expneg = t[j++] == '-';
    if (j < t.size() && IsDigit(t[j])) {
      while (j < t.size() && IsDigit(t[j])) {
        if (exponent < kExponentCap) exponent = exponent * 10 + (t[j] - '0');
        ++j;
      }
      if (expneg) exponent = -exponent;
    }
  }

  // Written again as d.ddd and the decimal exponent of its leading digit, so
  // that however many digits the text has, the exponent handed on is small
  // or plainly out of range.
  const std::string digits = intpart + fracpart;
  const std::size_t lead = digits.find_first_not_of('0');
  if (lead == std::string::npos) return 0;
  const std::int64_t scale =
      exponent + static_cast<std::int64_t>(intpart.size()) - static_cast<std::int64_t>(lead) - 1;

  double value = 0;
  if (scale > kOutOfRange) {
    value = HUGE_VAL;
  } else if (scale >= -kOutOfRange) {
    const std::string text = digits.substr(lead, 1) + "." + digits.substr(lead + 1) + "e" +
                             std::to_string(scale);
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) value = scale > 0 ? HUGE_VAL : 0.0;
  }
  return negative ? -value : value;
}

}  // namespace

// The rule of "%.15g": fifteen significant digits, trailing zeros dropped,
// and an exponent when the decimal exponent is below -4 or 15 or more. The
// exponent is written with an upper-case E, its sign and at least two digits
// ("1.5E-07", "2E+15"). Non-finite values never reach a field; they come out
// as "inf", "-inf" and "nan".
std::string NumberText(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  if (value == 0) return "0";  // negative zero too

  char buf[64];
  // 64 characters always suffice for fifteen digits and an exponent.
  const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, kDigits);
  std::string text(buf, result.ptr);
  const std::size_t e = text.find('e');
  if (e != std::string::npos) text[e] = 'E';
  return text;
}

// A blank in place of a plus sign, and no zero before the point, so that
// " .04" and "-.5" line up with " 2.5" and "-2.5".
std::string SignedText(double value) {
  std::string text = NumberText(value);
  if (std::isnan(value)) return text;
  const bool negative = text[0] == '-';
  std::string digits = negative ? text.substr(1) : text;
  if (digits.size() > 1 && digits[0] == '0' && digits[1] == '.') digits.erase(0, 1);
  return (negative ? "-" : " ") + digits;
}

double ReadNumber(std::string_view text) {
  std::string t;
  t.reserve(text.size());
  for (char c : text)
    if (!IsBlank(c)) t.push_back(c);

  double value = 0;
  if (t.size() >= 2 && t[0] == '&' && Upper(t[1]) == 'H') {
    value = ReadHex(t, 2);
  } else if (t.size() >= 2 && t[0] == '&' && Upper(t[1]) == 'O') {
    value = ReadOctal(t, 2);
  } else {
    value = ReadDecimal(t, 0);
  }
  return value == 0 ? 0.0 : value;  // no negative zero from "-0"
}

double DECVAL(std::string_view text) {
  std::string copy(text);
  for (char& c : copy)
    if (c == ',') c = '.';
  return ReadNumber(copy);
}

}  // namespace lab
