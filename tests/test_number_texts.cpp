// Number texts as the fields show them, and the rule every field is read by.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cmath>
#include <locale>
#include <string>

#include "golden.h"
#include "setup/number_text.h"

namespace {

using lab::DECVAL;
using lab::NumberText;
using lab::ReadNumber;
using lab::SignedText;

TEST(NumberTexts, FifteenDigitsShortestFormAndExponents) {
  for (const auto& c : golden::Table("number-texts.txt")) {
    const double v = std::stod(c.args.at(0));
    EXPECT_EQ(NumberText(v), c.args.at(1)) << c.args[0];
    EXPECT_EQ(SignedText(v), c.args.at(2)) << c.args[0];
    if (std::isfinite(v)) {
      EXPECT_EQ(ReadNumber(SignedText(v)), std::stod(c.args[1])) << c.args[0];
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
  auto cases = golden::Table("number-readings.txt");
  cases.insert(cases.end(), {{{"&H" + std::string(400, 'F')}, "inf"},
                             {{"&O" + std::string(400, '7')}, "inf"},
                             {{std::string(400, '9')}, "inf"},
                             {{"0." + std::string(400, '0') + "1e300"}, "1e-101"},
                             {{"1" + std::string(100000, '0') + "e-99999"}, "10"}});  // far exponent
  for (const auto& c : cases)
    EXPECT_EQ(ReadNumber(c.args.at(0)), std::stod(c.text)) << '"' << c.args[0] << '"';
  EXPECT_FALSE(std::signbit(ReadNumber("-0")));
  EXPECT_GT(ReadNumber("1e-310"), 0);  // a denormal
}

TEST(ReadNumber, DECVALTakesACommaForThePoint) {
  EXPECT_EQ(DECVAL("0,5"), 0.5);
  EXPECT_EQ(DECVAL("1.000,5"), 1);  // "1.000.5"
  EXPECT_EQ(DECVAL(" 2,5 E1"), 25);
}

}  // namespace
