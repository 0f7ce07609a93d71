// The built-in scenarios as the Control Display shows them, and the fields
// read back into the state in km and kg.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "setup/presets.h"
#include "setup/read_fields.h"
#include "control/headless_port.h"

namespace {

constexpr double kAuc = 149600000;
constexpr double kMsun = 1.9891e30;

class Scenario : public ::testing::Test {
 protected:
  void Load(double testno) {
    s.testno = testno;
    lab::INIT0(s, port);
  }
  void Read() { lab::INIT1(s, port); }

  lab::SimState s;
  lab::HeadlessPort port{s};
};

TEST_F(Scenario, PresetTexts) {
  using enum lab::UnitChoice;
  const struct { double no; std::map<int, std::string> texts; lab::UnitChoice unit; } cases[] = {
      {2, {{3, " 1"}, {4, " 2.5"}, {13, " 2"}, {0, "1"}, {2, "0.001"}}, kAU},
      {0, {{3, " 10000"}, {4, " 25000"}, {13, " .5"}}, kNeither},  // AU cleared, km not selected
      {3, {{3, " .04"}, {4, " .08"}, {0, "100"}, {1, "100"}}, kAU},
      {8, {{11, "350.6225"}, {12, "350.625"}, {14, "0.0005"}, {13, " 100"}}, kAU},
      {11, {{3, " 300"}, {4, " 420"}, {12, "325.43701"}, {14, "0.00025"}}, kAU},
  };
  for (const auto& c : cases) {
    Load(c.no);
    for (const auto& [field, text] : c.texts) EXPECT_EQ(port.fields[field], text) << c.no;
    EXPECT_EQ(port.unit, c.unit) << c.no;
  }
}

TEST_F(Scenario, PresetConstantsLastUntilTheNextLoad) {
  Load(108);
  Load(101);
  EXPECT_EQ(s.G, 1);
  EXPECT_EQ(s.mstart[2], 1);  // 0.001 x msun of 1000
  EXPECT_EQ(s.pauseflag, 1);  // 101 keeps the pause of 108
  Load(5);
  EXPECT_EQ(s.G, 6.672e-20);
  EXPECT_EQ(s.msun, kMsun);
  EXPECT_EQ(s.pauseflag, 0);
  EXPECT_EQ(s.vcap, 1000000);
  Load(107);
  EXPECT_EQ(s.vcap, 300000);
  EXPECT_EQ(s.mbig, 10000);
  Load(12);  // no preset: the constants come back all the same
  EXPECT_EQ(s.G, 6.672e-20);
  EXPECT_EQ(s.mbig, 1000000);
}

// A field write raises the field-changed event only when its text changes,
// and only field 10 runs the set-up, at every key stroke.
TEST_F(Scenario, OnlyARealChangeOfTheTestFieldRunsTheSetUp) {
  Load(0);
  s.testno = 7;  // a set-up would overwrite it
  port.SetFieldText(10, "0");
  port.Type(3, 'x');
  EXPECT_EQ(s.testno, 7);
  port.Type(10, '8');  // "08"
  EXPECT_EQ(s.testno, 8);
  EXPECT_EQ(port.fields[11], "350.6225");
  EXPECT_EQ(s.dist1, 1000 * kAuc);  // read back at once, in km
}

TEST_F(Scenario, NumberWithoutAPresetKeepsValuesAndRewritesFields) {
  for (double n : {12.0, 2.5, -1.0}) {
    Load(8);
    Read();
    s.m1 = 7;
    s.tdeltafact = 0.75;
    port.fields[3] = port.fields[6] = "junk";
    Load(n);
    EXPECT_EQ(s.mstart[0], 7 * kMsun) << n;
    EXPECT_EQ(port.fields[0], "7") << n;
    EXPECT_EQ(port.fields[3], " 149600000000") << n;
    EXPECT_EQ(port.fields[6], "") << n;
    EXPECT_EQ(port.fields[13], " .75") << n;
    EXPECT_EQ(s.alpha0, 350.6225) << n;
    EXPECT_TRUE(port.GetUnitOption()) << n;
  }
}

TEST_F(Scenario, DistancesAreReadOnlyWithTheUnitAU) {
  const struct { const char* text; double dist1; } cases[] = {
      {"1 AU", kAuc}, {"1AU", kAuc}, {"1 au", kAuc}, {"1 AU   ", kAuc}, {"1,5 AU", kAuc},
      {" AU", 0}, {"20000", 10000}, {"AU", 10000}, {"5", 10000}, {"1 A U", 10000},
  };
  for (const auto& c : cases) {
    Load(1);
    port.fields[3] = c.text;
    port.fields[4] = "2.5 AU";
    Read();
    EXPECT_EQ(s.dist1, c.dist1) << '"' << c.text << '"';
    EXPECT_EQ(s.dist2, 374000000);
    EXPECT_EQ(s.dist2f, s.dist2 / s.dist1);
  }
}

TEST_F(Scenario, CommasInTheFields) {
  Load(1);
  port.fields[0] = "0,5";
  port.fields[1] = "1.000,5";
  port.fields[11] = "350,6";
  port.fields[13] = "0,5";
  Read();
  EXPECT_EQ(s.m1, 0.5);
  EXPECT_EQ(port.fields[0], "0.5");
  EXPECT_EQ(s.m2, 1);
  EXPECT_EQ(port.fields[1], "1.000.5");
  EXPECT_EQ(s.alphastart, 350);
  EXPECT_EQ(s.tdeltafact, 0.5);
  EXPECT_EQ(port.fields[13], "0,5");
  EXPECT_EQ(s.mstart[1], kMsun);  // only preset 0 prepares the masses anew
}

TEST_F(Scenario, TheUnitOptionDecidesAndAUIsConvertedOnce) {
  Load(1);
  port.fields[3] = "1 AU";
  Read();
  EXPECT_EQ(s.auflag, 0);

  Load(2);  // AU preset: repeated Starts must not convert again
  Read();
  Read();
  EXPECT_EQ(s.auflag, 1);
  EXPECT_EQ(s.dist1, kAuc);
  EXPECT_EQ(s.dist2, 2.5 * kAuc);
  Load(12);  // the km values are rewritten and stay km
  Read();
  EXPECT_EQ(s.dist1, kAuc);
}

TEST_F(Scenario, FreeFormScenarioDerivesTheStartDistance) {
  const struct { const char* m3text; double dist2, m1, m3, mul0; } cases[] = {
      {"0.001", 25000, 1, 0.001, 0.0001},
      {"50", 141421.35623730952, 1, 50, 5},      // 2 dist1 sqrt(m3)
      {"1000", 237137.37056616552, 1, 1000, 100},  // 10 dist1 m3^(1/8)
      {"2000000", 15000, 2000000, 1, 0.1},
  };
  for (const auto& c : cases) {
    Load(0);
    port.fields[0] = "5";  // body 0 has one mass unit whatever the field says
    port.fields[2] = c.m3text;
    Read();
    EXPECT_DOUBLE_EQ(s.dist2, c.dist2) << c.m3text;
    EXPECT_EQ(s.m1, c.m1) << c.m3text;
    EXPECT_EQ(s.m3, c.m3) << c.m3text;
    EXPECT_EQ(s.mul0, c.mul0) << c.m3text;
    EXPECT_EQ(s.mstart[0], c.m1 * kMsun) << c.m3text;
    EXPECT_EQ(s.mstart[2], c.m3 * kMsun) << c.m3text;
  }
  Load(1);  // other presets skip the derivation
  port.fields[2] = "2000000";
  Read();
  EXPECT_EQ(s.dist2, 25000);
  EXPECT_EQ(s.m1, 1);
}

}  // namespace
