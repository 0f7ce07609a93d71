// Number texts as the fields show them, and the rule every field is read by.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cmath>
#include <limits>
#include <locale>
#include <string>

#include "setup/number_text.h"

namespace {

using lab::DECVAL;
using lab::NumberText;
using lab::ReadNumber;
using lab::SignedText;

const double kInf = std::numeric_limits<double>::infinity();

TEST(NumberTexts, FifteenDigitsShortestFormAndExponents) {
  const struct { double v; const char *plain, *sign; } cases[] = {
      {0.001, "0.001", " .001"},      {350.6225, "350.6225", " 350.6225"},
      {-2.5, "-2.5", "-2.5"},         {-0.5, "-0.5", "-.5"},
      {10000, "10000", " 10000"},     {0.1 + 0.2, "0.3", " .3"},
      {0.0, "0", " 0"},               {-0.0, "0", " 0"},
      {1.5e-7, "1.5E-07", " 1.5E-07"}, {2e15, "2E+15", " 2E+15"},
      {0.0001, "0.0001", " .0001"},   {999999999999999.9, "1E+15", " 1E+15"},
      {-1.9891e30, "-1.9891E+30", "-1.9891E+30"},
      {kInf, "inf", " inf"},          {-kInf, "-inf", "-inf"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NumberText(c.v), c.plain);
    EXPECT_EQ(SignedText(c.v), c.sign);
    if (std::isfinite(c.v)) {
      EXPECT_EQ(ReadNumber(SignedText(c.v)), std::stod(c.plain));
    }
  }
  EXPECT_EQ(NumberText(std::nan("")), "nan");
}

// The point stays the separator where the user's number format has a comma.
TEST(NumberTexts, CommaLocaleChangesNothing) {
  struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
  };
  std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
  EXPECT_EQ(NumberText(0.001), "0.001");
  std::locale::global(std::locale::classic());

  // The build makes a comma locale; the machine's own count as well.
  setenv("LOCPATH", LAB_COMMA_LOCALE, 1);
  bool found = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"})
    if (std::setlocale(LC_ALL, name) && *std::localeconv()->decimal_point == ',') {
      found = true;
      break;
    }
  if (!found) GTEST_SKIP() << "no locale with a decimal comma installed";
  const std::string text = NumberText(1.5e-7) + " " + SignedText(0.5);
  const double read = ReadNumber("350.6225");
  std::setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
  EXPECT_EQ(text, "1.5E-07  .5");
  EXPECT_EQ(read, 350.6225);
}

TEST(ReadNumber, LongestLeadingNumberBlanksSkipped) {
  const struct { std::string text; double v; } cases[] = {
      {"1 000", 1000}, {"- 5", -5}, {" \t1\n2\r.5", 12.5}, {"1 e 3", 1000},
      {"+.5", 0.5}, {"5.", 5}, {"1D3", 1000}, {"1d-3", 0.001}, {"2.5E+2", 250},
      {"1e", 1}, {"1e+", 1}, {"1e-x", 1}, {"0,5", 0}, {"1.5.3", 1.5}, {"350,6", 350},
      {"1+2", 1}, {"2.5 AU", 2.5}, {"", 0}, {"-", 0}, {".", 0}, {"AU", 0}, {"e5", 0},
      {"--5", 0}, {"&H1F", 31}, {"&hff", 255}, {"&HFFFF", 65535}, {"&o17", 15},
      {"&O78", 7}, {"& H 1 0", 16}, {"&H", 0}, {"&X5", 0}, {"-&H10", 0},
      {"&H1FFFFFFFFFFFFF", 9007199254740991.0},
      {"&O" + std::string(18, '7'), 18014398509481984.0},  // 2^54 - 1 rounds once
      {"1e999", kInf}, {"-1e999", -kInf}, {"1e99999999999999999999", kInf},
      {"&H" + std::string(400, 'F'), kInf}, {"&O" + std::string(400, '7'), kInf},
      {std::string(400, '9'), kInf}, {"0." + std::string(400, '0') + "1e300", 1e-101},
      {"1" + std::string(100000, '0') + "e-99999", 10},  // many digits, far exponent
      {"1e-999", 0}, {"1e-99999999999999999999", 0}, {"0e99999", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadNumber(c.text), c.v) << '"' << c.text << '"';
  EXPECT_FALSE(std::signbit(ReadNumber("-0")));
  EXPECT_GT(ReadNumber("1e-310"), 0);  // a denormal
}

TEST(ReadNumber, DECVALTakesACommaForThePoint) {
  EXPECT_EQ(DECVAL("0,5"), 0.5);
  EXPECT_EQ(DECVAL("1.000,5"), 1);  // "1.000.5"
  EXPECT_EQ(DECVAL(" 2,5 E1"), 25);
}

}  // namespace
