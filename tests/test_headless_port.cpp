// The headless port behaves as the windows do where the logic can tell: a
// field write raises the field-changed event only when the text changes, and
// clearing "AU" selects neither unit.
#include <gtest/gtest.h>

#include "setup/presets.h"
#include "ui/headless_port.h"

namespace {

TEST(HeadlessPort, OnlyARealChangeOfTheTestFieldRunsTheSetUp) {
  lab::SimState s;
  lab::HeadlessPort port(s);
  lab::INIT0(s, port);
  ASSERT_EQ(port.fields[10], "0");

  s.testno = 7;  // a set-up would overwrite it
  port.SetFieldText(10, "0");
  port.SetFieldText(0, "12");
  port.Type(3, 'x');
  EXPECT_EQ(s.testno, 7);
  EXPECT_EQ(port.fields[3], " 10000x");

  port.Type(10, '8');  // "08"
  EXPECT_EQ(s.testno, 8);
  EXPECT_EQ(port.fields[11], "350.6225");
  port.Paste(10, " 2 ");
  EXPECT_EQ(s.testno, 2);
  EXPECT_EQ(port.fields[3], " 1");
  EXPECT_EQ(s.dist1, 149600000);  // read back at once, in km
}

TEST(HeadlessPort, ClearingAUSelectsNeitherOption) {
  lab::SimState s;
  lab::HeadlessPort port(s);
  port.SetUnitOption(false);  // "km" stays selected
  EXPECT_EQ(port.unit, lab::UnitChoice::kKm);
  port.SetUnitOption(true);
  EXPECT_TRUE(port.GetUnitOption());
  port.SetUnitOption(false);
  EXPECT_EQ(port.unit, lab::UnitChoice::kNeither);
  EXPECT_FALSE(port.GetUnitOption());
}

}  // namespace
