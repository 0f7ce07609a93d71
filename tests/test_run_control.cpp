// The buttons and the field "test" acting on a running series: the handlers
// run inside the run loop's yields and waits, as a user's clicks would.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "port/control_flow.h"
#include "control/handlers.h"
#include "control/headless_port.h"

namespace {

using lab::Button;
using lab::HeadlessPort;
constexpr Button kStart = Button::CommandStart;
constexpr Button kStop = Button::CommandStop;
constexpr Button kNext = Button::CommandNext;
constexpr Button kClear = Button::CommandClear;

// The headless port that also keeps the run loop's account of each test.
struct Port : HeadlessPort {
  using HeadlessPort::HeadlessPort;
  std::vector<lab::TestSummary> tests;
  void TestFinished(const lab::TestSummary& t) override { tests.push_back(t); }
  const std::string& Caption(Button b) const { return captions[static_cast<int>(b)]; }
};

// Clicks, in order, within one yield or wait.
template <typename... B>
HeadlessPort::Action Press(B... b) {
  return [=](HeadlessPort& p) { (p.Click(b), ...); };
}

// A program after start-up with a preset chosen in the field "test" and,
// optionally, the last angle of the series.
struct Lab {
  lab::SimState s;
  Port port{s};
  explicit Lab(const std::string& test, const std::string& end = "") {
    lab::Form_Load(s, port);
    port.Paste(10, test);
    if (!end.empty()) port.Paste(12, end);
  }
  // Start; a series never returns, so the program always ends in here.
  void Run() { EXPECT_THROW(port.Click(kStart), lab::ProgramEnded); }
  bool RowOneEmpty() const {
    return std::all_of(&port.results[7], &port.results[14], [](auto& t) { return t.empty(); });
  }
};

// Clear erases the drawing at once, before the points of the display step in
// whose opening yield it came. Stop halts the series at the poll of the step
// in which it was pressed; the drawing stays, the halted wait sleeps (no
// yields) while Next and Clear do their usual work, and Cancel ends it all.
TEST(StopButton, HaltsWithoutResultsThenCancelEnds) {
  Lab lab("2", "10");
  Port& port = lab.port;
  std::uint64_t plotted_at_clear = 0, yields = 0;
  port.AtStep(1200, [&](HeadlessPort& p) {
    EXPECT_FALSE(p.points.empty());
    p.Click(kClear);
    EXPECT_TRUE(p.points.empty());
    plotted_at_clear = p.points_plotted;
  });
  port.AtStep(1234, [&](HeadlessPort& p) {
    p.Click(kStop);
    EXPECT_EQ(port.Caption(kStop), "Cancel");
  });
  port.AtWait([&](HeadlessPort& p) {
    EXPECT_EQ(lab.s.tcnt, 1234);
    EXPECT_EQ(p.results[0], "0");
    EXPECT_TRUE(lab.RowOneEmpty());
    EXPECT_FALSE(p.points.empty());  // the drawing stays
    EXPECT_EQ(p.points.size(), p.points_plotted - plotted_at_clear);
    yields = p.yields;
    Press(kNext, kClear)(p);
    EXPECT_TRUE(p.points.empty());
  });
  port.AtWait([&](HeadlessPort& p) {
    EXPECT_EQ(p.yields, yields);
    p.Click(kStop);  // "Cancel"
  });
  lab.Run();
  EXPECT_FALSE(port.ended_by_script);
  EXPECT_EQ(port.waits, 2u);
  EXPECT_TRUE(port.tests.empty());
}

// Stop twice before one poll leaves runstate 2, which the step poll ignores
// (see also the Next test below). With the pause after each test the program
// ends at the test's end; a third Stop ends it at once.
TEST(StopButton, TwiceWithinOneYield) {
  {
    Lab lab("108", "350.632");
    lab.port.AtStep(500, Press(kStop, kStop));
    lab.port.AtStep(700, Press(kNext));
    lab.Run();
    EXPECT_EQ(lab.port.waits, 0u);
    ASSERT_EQ(lab.port.tests.size(), 1u);
    EXPECT_EQ(lab.port.results[7], "350.63");
  }
  Lab lab("2");
  lab.port.AtStep(1234, [](HeadlessPort& p) {
    Press(kStop, kStop, kStop)(p);
    ADD_FAILURE() << "the third Stop returned";
  });
  lab.Run();
}

// Next ends the running test at the poll of that step, with its results;
// at the end of the series the wait shows "Stop". A double Stop before (runstate
// 2) changes nothing but the caption, "Cancel", and a Stop in the wait ends.
TEST(NextButton, EndsTheTestInItsStepWithResults) {
  for (const bool stopped_twice : {false, true}) {
    Lab lab("2", "10");
    Port& port = lab.port;
    if (stopped_twice) port.AtStep(1000, Press(kStop, kStop));
    port.AtStep(1234, Press(kNext));  // in the yield at the end of a step
    port.AtStep(1250, [&](HeadlessPort& p) {  // in the next test
      ASSERT_EQ(port.tests.size(), 1u);
      EXPECT_EQ(port.tests[0].steps, 1234);
      EXPECT_EQ(port.tests[0].endcause, lab::kEndNext);
      EXPECT_EQ(p.results[7], "0");
      for (int i = 8; i < 14; ++i) EXPECT_NE(p.results[i], "") << i;
      EXPECT_EQ(p.results[0], "10");
    });
    port.AtStep(1300, Press(kNext));  // in the yield that opens a display step
    port.AtWait([&](HeadlessPort& p) {  // the series is over
      ASSERT_EQ(port.tests.size(), 2u);
      EXPECT_EQ(port.tests[1].steps, 1300);
      EXPECT_EQ(p.results[7], "10");
      EXPECT_EQ(port.Caption(kStop), stopped_twice ? "Cancel" : "Stop");
      if (stopped_twice) p.Click(kStop);
    });
    lab.Run();
    EXPECT_EQ(port.ended_by_script, !stopped_twice);
    EXPECT_TRUE(port.ScriptDone());
  }
}

// With pauseflag set (preset 108) the series waits after each test, without
// yields, showing "Restart": Next releases it; Stop in the pause shows
// "Cancel" and the pause goes on, where Cancel ends the program and Next
// halts the next test at its first poll.
TEST(NextButton, PauseAfterEachTest) {
  enum How { kRelease, kCancel, kStopThenNext };
  for (const How how : {kRelease, kCancel, kStopThenNext}) {
    Lab lab("108", "350.632");
    Port& port = lab.port;
    std::uint64_t yields = 0;
    port.AtStep(500, Press(kNext));
    port.AtWait([&](HeadlessPort& p) {
      EXPECT_EQ(port.Caption(kNext), "Restart");
      yields = p.yields;
      if (how != kRelease) p.Click(kStop);
    });
    port.AtWait([&](HeadlessPort& p) {
      EXPECT_EQ(p.yields, yields);
      EXPECT_EQ(lab.s.tcnt, 500);
      EXPECT_EQ(port.Caption(kStop), how == kRelease ? "Stop" : "Cancel");
      p.Click(how == kCancel ? kStop : kNext);
      EXPECT_EQ(port.Caption(kNext), how == kCancel ? "Restart" : "Next");
    });
    if (how == kRelease) port.AtStep(501, Press(kNext));
    if (how == kStopThenNext) {
      port.AtWait([&](HeadlessPort& p) {
        EXPECT_EQ(lab.s.runstate, 1);
        EXPECT_EQ(lab.s.tcnt, 1);
        EXPECT_EQ(p.results[0], "350.632");
        EXPECT_EQ(p.results[7], "350.63");
      });
    }
    lab.Run();  // with Next, the second test pauses too, and the script is done
    EXPECT_EQ(port.ended_by_script, how != kCancel) << how;
    EXPECT_EQ(port.tests.size(), how == kRelease ? 2u : 1u) << how;
  }
}

// Stop and Next pressed before one step poll, in either order, or Next in the
// yield that opens a display step and Stop in the one that ends it: Stop wins,
// no results.
TEST(StopAndNext, StopWinsAtTheSamePoll) {
  for (int how = 0; how < 3; ++how) {
    Lab lab("2");
    std::int64_t step = 0;
    std::uint64_t yield = 0;
    const auto clicks = [&, how](HeadlessPort& p) {
      step = lab.s.tcnt;
      yield = p.yields + (how == 2 ? 1 : 0);
      p.Click(how == 0 ? kStop : kNext);
      if (how == 2) p.AtYield(yield, Press(kStop));
      else p.Click(how == 0 ? kNext : kStop);
      p.AtWait([&](HeadlessPort& q) {  // halted at that poll, without results
        EXPECT_EQ(q.yields, yield);
        EXPECT_EQ(lab.s.tcnt, step);
        EXPECT_TRUE(lab.port.tests.empty());
        EXPECT_TRUE(lab.RowOneEmpty());
      });
    };
    if (how < 2) lab.port.AtYield(1500, clicks);
    else lab.port.AtStep(1300, clicks);
    lab.Run();
    EXPECT_TRUE(lab.port.ScriptDone()) << how;
  }
}

// Start while a series runs or waits: the old series is dropped and a new one
// begins from the first angle with an empty Data Display in its colours.
TEST(StartButton, ReplacesTheSeriesFromTheFirstAngle) {
  Lab lab("2", "10");
  Port& port = lab.port;
  std::array<lab::ColourNumber, lab::kResultFields> colours{};
  const auto fresh_series = [&](int clears) {
    return [&, clears](HeadlessPort& p) {
      EXPECT_EQ(port.Caption(kStop), "Stop");
      for (int i = 0; i < lab::kResultFields; ++i) EXPECT_EQ(p.results[i], i ? "" : "0") << i;
      EXPECT_EQ(p.result_colours, colours);
      EXPECT_EQ(p.clears, clears);
    };
  };
  port.AtStep(1000, Press(kNext));  // the first test gets its results
  port.AtStep(1234, [&](HeadlessPort& p) {
    EXPECT_EQ(lab.s.alpha, 10);
    EXPECT_EQ(p.results[7], "0");
    colours = p.result_colours;
    Press(kStop, kStart)(p);  // a pending Stop does not survive the Start
  });
  port.AtStep(1, fresh_series(2));
  port.AtStep(1000, Press(kStop));
  port.AtWait(Press(kStart));  // from the halted wait, with "Cancel" shown
  port.AtStep(1, fresh_series(3));
  port.AtStep(1000, Press(kStop));
  lab.Run();
  EXPECT_TRUE(port.ended_by_script);
  EXPECT_EQ(port.tests.size(), 1u);  // the replaced test at 10 never ended
  EXPECT_EQ(port.waits, 2u);
}

// A second series in the same program knows nothing of the first one's best
// test: its own first test enters row 2 again, however its ratio compares.
TEST(StartButton, ASecondSeriesFillsRowTwoAfresh) {
  Lab lab("2", "0");
  std::array<std::string, lab::kResultFields> first;
  lab.port.AtStep(150, [](HeadlessPort& p) {  // row 0 as of the display step at 100
    EXPECT_EQ(p.fields[7], "100");
    EXPECT_EQ(p.results[5], "1.99");  // the nearer body, 1 in AU
    EXPECT_EQ(p.results[6], "1.99");
  });
  lab.port.AtStep(1000, Press(kNext));
  lab.port.AtWait([&](HeadlessPort& p) {
    first = p.results;
    EXPECT_EQ(p.results[14], "0");
    p.Click(kStart);
  });
  lab.port.AtStep(1000, Press(kNext));
  lab.Run();
  EXPECT_EQ(lab.port.tests.size(), 2u);
  EXPECT_EQ(lab.port.results, first);
}

// However often Start is pressed, one series runs and the stack stays as
// deep as one series.
TEST(StartButton, AThousandStartsLeaveOneSeries) {
  Lab lab("2");
  lab.port.record_points = false;
  constexpr int kStarts = 1000;
  std::uintptr_t first = 0, last = 0;
  for (int i = 0; i <= kStarts; ++i) {
    lab.port.AtStep(5, [&, i](HeadlessPort& p) {
      last = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
      if (first == 0) first = last;
      p.Click(i < kStarts ? kStart : kStop);
    });
  }
  lab.Run();
  EXPECT_TRUE(lab.port.ended_by_script);
  EXPECT_EQ(lab.port.clears, kStarts + 1);  // each series clears once
  EXPECT_EQ(lab.port.waits, 1u);
  const std::uintptr_t spread = first > last ? first - last : last - first;
  EXPECT_LT(spread, 4096u) << "the stack grew by " << spread << " bytes";
}

// An edit of the field "test" sets up its scenario under the running test,
// which steps on from there; the series goes on with that scenario.
TEST(TestField, EditDuringATestReplacesTheScenario) {
  lab::SimState ref;  // preset 2 set up on its own
  Port ref_port(ref);
  lab::Form_Load(ref, ref_port);
  ref_port.Paste(10, "2");
  for (const bool typed : {false, true}) {
    Lab lab("0");
    lab::SimState& s = lab.s;
    lab.port.AtStep(1234, [&](HeadlessPort& p) {
      if (typed) p.Type(10, '2');  // "02"
      else p.Paste(10, "2");
    });
    lab.port.AtStep(1235, [&](HeadlessPort& p) {  // one step on from its start
      EXPECT_EQ(p.fields[3], " 1");
      EXPECT_EQ(s.dist1, ref.dist1);
      EXPECT_GT(std::abs(s.x[2]), ref.dist1);  // stepped on from preset 2's start
    });
    lab.port.AtStep(2000, Press(kNext));
    lab.port.AtStep(2001, [&](HeadlessPort& p) {  // the next test of preset 2
      EXPECT_EQ(s.alpha, 10);
      EXPECT_EQ(p.fields[5], "37.192");
      p.Click(kStop);
    });
    lab.Run();
    EXPECT_TRUE(lab.port.ScriptDone()) << typed;
  }
}

// "t delta" is cut to seven decimals below a hundredth of a second, to whole
// seconds above a hundred, and to three decimals between.
TEST(TestField, TimeStepShownWithItsDecimals) {
  const std::pair<const char*, const char*> cases[] = {
      {"0.001 AU", "0.0011761"}, {"1 AU", "37.192"}, {"30 AU", "6111"}};
  for (const auto& [dist1, shown] : cases) {
    Lab lab("2", "0");
    lab.port.Paste(3, dist1);
    lab.port.AtStep(1, [&, shown = shown](HeadlessPort& p) {
      EXPECT_EQ(p.fields[5], shown);
      p.Click(kStop);
    });
    lab.Run();
  }
}

// Other fields, and the unit option, are read only by the next Start; a
// start angle beyond the last angle gives one test.
TEST(TestField, OtherEditsWaitForTheNextSeries) {
  Lab lab("2", "10");
  lab::SimState& s = lab.s;
  lab.port.AtStep(1234, [&](HeadlessPort& p) {
    p.Paste(0, "5");    // m1
    p.Paste(11, "50");  // start
    p.Paste(12, "30");  // end
    p.Type(14, '0');    // d alpha "100"
    p.SelectUnit(false);
    p.Click(kNext);
  });
  lab.port.AtStep(1300, [&](HeadlessPort& p) {  // the series goes on as it began
    EXPECT_EQ(s.alpha, 10);
    EXPECT_EQ(s.m1, 1);
    EXPECT_EQ(s.auflag, 1);
    p.Click(kNext);
  });
  lab.port.AtWait(Press(kStart));
  lab.port.AtStep(1, [&](HeadlessPort&) {  // a new series reads them
    EXPECT_EQ(s.m1, 5);
    EXPECT_EQ(s.dalpha, 100);
    EXPECT_EQ(s.auflag, 0);
  });
  lab.port.AtStep(1234, Press(kNext));
  lab.Run();
  EXPECT_TRUE(lab.port.ended_by_script);
  ASSERT_EQ(lab.port.tests.size(), 3u);
  EXPECT_EQ(lab.port.tests[2].alpha, 50);
}

}  // namespace
