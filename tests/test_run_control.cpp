// The buttons and the field "test" acting on a running series: the handlers
// run inside the run loop's yields and waits, as a user's clicks would.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/control_flow.h"
#include "ui/handlers.h"
#include "ui/headless_port.h"

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

HeadlessPort::Action Press(Button b) {
  return [b](HeadlessPort& p) { p.Click(b); };
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
    for (int i = 7; i < 14; ++i)
      if (!port.results[i].empty()) return false;
    return true;
  }
};

TEST(StopButton, BeforeAnySeriesEndsTheProgram) {
  Lab lab("2");
  EXPECT_THROW(lab.port.Click(kStop), lab::ProgramEnded);
  EXPECT_TRUE(lab.port.ended);
  EXPECT_FALSE(lab.port.ended_by_script);
  EXPECT_FALSE(lab.port.trajectory_visible);
}

// Stop halts the series at the poll of the step in which it was pressed; the
// halted wait sleeps (no yields) until the user acts, and Cancel ends it all.
TEST(StopButton, HaltsWithoutResultsThenCancelEnds) {
  Lab lab("2", "10");
  Port& port = lab.port;
  lab::SimState& s = lab.s;
  std::uint64_t yields = 0;
  port.AtStep(1234, [&](HeadlessPort& p) {
    p.Click(kStop);
    EXPECT_EQ(port.Caption(kStop), "Cancel");
    EXPECT_EQ(s.runstate, 1);
  });
  port.AtWait([&](HeadlessPort& p) {
    EXPECT_EQ(s.tcnt, 1234);
    EXPECT_EQ(s.runstate, 1);
    EXPECT_TRUE(port.tests.empty());
    EXPECT_EQ(p.results[0], "0");
    EXPECT_TRUE(lab.RowOneEmpty());
    EXPECT_FALSE(p.points.empty());  // the drawing stays
    EXPECT_EQ(p.clears, 1);
    EXPECT_EQ(p.waits, 1u);
    yields = p.yields;
    p.Click(kNext);  // Next and Clear do their usual work; the wait goes on
  });
  port.AtWait([&](HeadlessPort& p) {
    EXPECT_EQ(p.yields, yields);
    EXPECT_EQ(p.waits, 2u);
    EXPECT_EQ(port.Caption(kNext), "Next");
    p.Click(kClear);
  });
  port.AtWait([&](HeadlessPort& p) {
    EXPECT_EQ(p.yields, yields);
    EXPECT_EQ(p.waits, 3u);
    EXPECT_TRUE(p.points.empty());
    EXPECT_EQ(s.tcnt, 1234);
    p.Click(kStop);  // "Cancel"
  });
  lab.Run();
  EXPECT_TRUE(port.ended);
  EXPECT_FALSE(port.ended_by_script);
  EXPECT_EQ(port.waits, 3u);
  EXPECT_TRUE(port.tests.empty());
}

// Stop twice before one poll leaves runstate 2, which the step poll ignores:
// the series steps on. A third Stop in that state ends the program at once.
TEST(StopButton, TwiceWithinOneYield) {
  {  // no pause: the series runs to its end, where the halted wait waits for Stop
    Lab lab("2", "10");
    lab.port.AtStep(1234, [&](HeadlessPort& p) {
      p.Click(kStop);
      p.Click(kStop);
      EXPECT_EQ(lab.s.runstate, 2);
    });
    lab.port.AtStep(1500, Press(kNext));
    lab.port.AtStep(1600, Press(kNext));  // in the next test
    lab.port.AtWait([&](HeadlessPort& p) {
      EXPECT_EQ(lab.s.runstate, 1);
      EXPECT_EQ(lab.port.Caption(kStop), "Cancel");
      ASSERT_EQ(lab.port.tests.size(), 2u);
      EXPECT_EQ(lab.port.tests[0].steps, 1500);
      EXPECT_EQ(lab.port.tests[1].steps, 1600);
      EXPECT_EQ(p.results[7], "10");
      p.Click(kStop);
    });
    lab.Run();
    EXPECT_FALSE(lab.port.ended_by_script);
    EXPECT_TRUE(lab.port.ScriptDone());
  }
  {  // with the pause after each test: the program ends at the test boundary
    Lab lab("108", "350.632");
    bool paused = false;
    lab.port.AtStep(500, [](HeadlessPort& p) {
      p.Click(kStop);
      p.Click(kStop);
    });
    lab.port.AtStep(700, Press(kNext));
    lab.port.AtWait([&](HeadlessPort&) { paused = true; });
    lab.Run();
    EXPECT_FALSE(paused);
    EXPECT_FALSE(lab.port.ended_by_script);
    ASSERT_EQ(lab.port.tests.size(), 1u);
    EXPECT_EQ(lab.port.results[7], "350.63");
  }
  {
    Lab lab("2");
    lab.port.AtStep(1234, [](HeadlessPort& p) {
      for (int i = 0; i < 3; ++i) p.Click(kStop);
      ADD_FAILURE() << "the third Stop returned";
    });
    lab.Run();
    EXPECT_EQ(lab.s.tcnt, 1234);
    EXPECT_FALSE(lab.port.ended_by_script);
  }
}

// Next ends the running test at the poll of that step, with its results.
TEST(NextButton, EndsTheTestInItsStepWithResults) {
  Lab lab("2", "10");
  Port& port = lab.port;
  port.AtStep(1234, Press(kNext));  // in the yield at the end of a step
  port.AtStep(1250, [&](HeadlessPort& p) {  // in the next test
    ASSERT_EQ(port.tests.size(), 1u);
    EXPECT_EQ(port.tests[0].steps, 1234);
    EXPECT_EQ(port.tests[0].endcause, lab::kEndNext);
    EXPECT_TRUE(port.tests[0].results);
    EXPECT_EQ(p.results[7], "0");
    for (int i = 8; i < 14; ++i) EXPECT_NE(p.results[i], "") << i;
    EXPECT_EQ(p.results[0], "10");  // the next test runs
    EXPECT_EQ(lab.s.runstate, 0);
  });
  port.AtStep(1300, Press(kNext));  // in the yield that opens a display step
  port.AtWait([&](HeadlessPort& p) {  // the series is over
    EXPECT_EQ(lab.s.runstate, 1);
    ASSERT_EQ(port.tests.size(), 2u);
    EXPECT_EQ(port.tests[1].steps, 1300);
    EXPECT_EQ(p.results[7], "10");
    EXPECT_EQ(port.Caption(kStop), "Stop");
    EXPECT_EQ(port.Caption(kNext), "Next");
  });
  lab.Run();
  EXPECT_TRUE(port.ended_by_script);
}

TEST(NextButton, StartBeyondTheLastAngleRunsOneTest) {
  Lab lab("2", "30");
  lab.port.Paste(11, "50");
  lab.port.AtStep(1234, Press(kNext));
  lab.port.AtWait([&](HeadlessPort&) { EXPECT_EQ(lab.s.runstate, 1); });
  lab.Run();
  EXPECT_TRUE(lab.port.ended_by_script);
  ASSERT_EQ(lab.port.tests.size(), 1u);
  EXPECT_EQ(lab.port.tests[0].alpha, 50);
  EXPECT_EQ(lab.port.results[7], "50");
}

// With pauseflag set (preset 108) the series waits after each test.
TEST(NextButton, PauseAfterEachTest) {
  {  // nothing moves until Next; Next releases the pause
    Lab lab("108", "350.632");
    std::uint64_t yields = 0;
    lab.port.AtStep(500, Press(kNext));
    lab.port.AtWait([&](HeadlessPort& p) {
      EXPECT_EQ(lab.port.Caption(kNext), "Restart");
      EXPECT_EQ(lab.s.waitnext, 1);
      EXPECT_EQ(lab.port.tests.size(), 1u);
      yields = p.yields;
    });
    lab.port.AtWait([&](HeadlessPort& p) {
      EXPECT_EQ(p.yields, yields);
      EXPECT_EQ(lab.s.tcnt, 500);
      p.Click(kNext);
      EXPECT_EQ(lab.port.Caption(kNext), "Next");
    });
    lab.port.AtStep(501, [&](HeadlessPort& p) {
      EXPECT_EQ(p.results[0], "350.632");
      p.Click(kNext);
    });
    lab.Run();  // the second test pauses too, and the script is done
    EXPECT_TRUE(lab.port.ended_by_script);
    EXPECT_EQ(lab.port.tests.size(), 2u);
  }
  {  // Stop in the pause: "Cancel", the pause goes on; Cancel ends the program
    Lab lab("108", "350.632");
    lab.port.AtStep(500, Press(kNext));
    lab.port.AtWait([&](HeadlessPort& p) {
      p.Click(kStop);
      EXPECT_EQ(lab.port.Caption(kStop), "Cancel");
    });
    lab.port.AtWait([&](HeadlessPort& p) {
      EXPECT_EQ(lab.s.waitnext, 1);
      EXPECT_EQ(lab.port.Caption(kNext), "Restart");
      p.Click(kStop);
    });
    lab.Run();
    EXPECT_FALSE(lab.port.ended_by_script);
    EXPECT_EQ(lab.port.waits, 2u);
    EXPECT_EQ(lab.s.tcnt, 500);
  }
  {  // Stop, then Next in the pause: the next test stops at its first poll
    Lab lab("108", "350.632");
    lab.port.AtStep(500, Press(kNext));
    lab.port.AtWait(Press(kStop));
    lab.port.AtWait(Press(kNext));
    lab.port.AtWait([&](HeadlessPort& p) {
      EXPECT_EQ(lab.s.runstate, 1);
      EXPECT_EQ(lab.s.tcnt, 1);
      EXPECT_EQ(p.results[0], "350.632");
      EXPECT_EQ(p.results[7], "350.63");
      EXPECT_EQ(lab.port.tests.size(), 1u);
    });
    lab.Run();
    EXPECT_TRUE(lab.port.ended_by_script);
  }
}

// Stop and Next pressed before one step poll: Stop wins, no results.
TEST(StopAndNext, StopWinsAtTheSamePoll) {
  const auto halted_without_results = [](Lab& lab, std::int64_t step) {
    return [&lab, step](HeadlessPort&) {
      EXPECT_EQ(lab.s.runstate, 1);
      EXPECT_EQ(lab.s.tcnt, step);
      EXPECT_TRUE(lab.port.tests.empty());
      EXPECT_TRUE(lab.RowOneEmpty());
    };
  };
  for (const bool stop_first : {true, false}) {
    Lab lab("2");
    const std::uint64_t yield = 1500;  // one yield, two clicks
    std::int64_t step = 0;
    lab.port.AtYield(yield, Press(stop_first ? kStop : kNext));
    lab.port.AtYield(yield, [&](HeadlessPort& p) {
      p.Click(stop_first ? kNext : kStop);
      step = lab.s.tcnt;
    });
    lab.port.AtWait([&](HeadlessPort& p) {
      EXPECT_EQ(p.yields, yield);
      halted_without_results(lab, step)(p);
    });
    lab.Run();
    EXPECT_TRUE(lab.port.ScriptDone());
  }
  {  // Next in the yield that opens a display step, Stop in the one that ends it
    Lab lab("2");
    lab.port.AtStep(1300, [&](HeadlessPort& p) {
      p.Click(kNext);
      p.AtYield(p.yields + 1, [&](HeadlessPort& q) {
        EXPECT_EQ(lab.s.tcnt, 1300);
        q.Click(kStop);
      });
      p.AtWait(halted_without_results(lab, 1300));
    });
    lab.Run();
    EXPECT_TRUE(lab.port.ScriptDone());
  }
}

// Start while a series runs or waits: the old series is dropped and a new one
// begins from the first angle with an empty Data Display.
TEST(StartButton, ReplacesTheSeriesFromTheFirstAngle) {
  Lab lab("2", "10");
  Port& port = lab.port;
  std::array<lab::ColourNumber, lab::kResultFields> colours{};
  const auto fresh_series = [&](int clears) {
    return [&, clears](HeadlessPort& p) {
      EXPECT_EQ(lab.s.alpha, 0);
      EXPECT_EQ(lab.s.runstate, 0);
      EXPECT_EQ(port.Caption(kStop), "Stop");
      EXPECT_EQ(p.results[0], "0");
      for (int i = 1; i < lab::kResultFields; ++i) EXPECT_EQ(p.results[i], "") << i;
      EXPECT_EQ(p.result_colours, colours);
      EXPECT_EQ(p.clears, clears);
    };
  };
  port.AtStep(1000, Press(kNext));  // the first test gets its results
  port.AtStep(1234, [&](HeadlessPort& p) {
    EXPECT_EQ(lab.s.alpha, 10);
    EXPECT_EQ(p.results[7], "0");
    colours = p.result_colours;
    p.Click(kStop);  // a pending Stop does not survive the Start
    p.Click(kStart);
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

// However often Start is pressed, one series runs and the stack stays as
// deep as one series.
TEST(StartButton, AThousandStartsLeaveOneSeries) {
  Lab lab("2");
  lab.port.record_points = false;
  constexpr int kStarts = 1000;
  int starts = 0;
  std::uintptr_t first = 0, last = 0;
  const auto depth = [&] {
    const auto frame = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    if (first == 0) first = frame;
    last = frame;
  };
  for (int i = 0; i < kStarts; ++i) {
    lab.port.AtStep(5, [&](HeadlessPort& p) {
      depth();
      ++starts;
      p.Click(kStart);
    });
  }
  lab.port.AtStep(5, [&](HeadlessPort& p) {
    depth();
    p.Click(kStop);
  });
  lab.Run();
  EXPECT_TRUE(lab.port.ended_by_script);
  EXPECT_EQ(starts, kStarts);
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

  double untouched_x2 = 0;  // body 2 one step after, in a run without the edit
  for (int edit = 0; edit < 3; ++edit) {
    Lab lab("0");
    lab::SimState& s = lab.s;
    lab.port.AtStep(1234, [&](HeadlessPort& p) {
      if (edit == 1) p.Paste(10, "2");
      if (edit == 2) p.Type(10, '2');  // "02"
    });
    lab.port.AtStep(1235, [&](HeadlessPort& p) {
      if (edit == 0) {
        untouched_x2 = s.x[2];
        EXPECT_EQ(s.dist1, 10000);
        p.Click(kStop);
        return;
      }
      EXPECT_EQ(s.testno, 2);
      EXPECT_EQ(p.fields[3], " 1");
      EXPECT_EQ(s.dist1, ref.dist1);
      EXPECT_EQ(s.tdelta, ref.tdelta);
      for (int i = 0; i < 3; ++i) EXPECT_EQ(s.x0[i], ref.x0[i]) << i;
      EXPECT_NE(s.x[2], untouched_x2);
    });
    if (edit != 0) {
      lab.port.AtStep(2000, Press(kNext));
      lab.port.AtStep(2001, [&](HeadlessPort& p) {  // the next test of preset 2
        EXPECT_EQ(s.alpha, 10);
        EXPECT_EQ(s.tdelta, ref.tdelta);
        EXPECT_EQ(p.fields[5], "37.192");
        p.Click(kStop);
      });
    }
    lab.Run();
    EXPECT_TRUE(lab.port.ScriptDone()) << edit;
  }
}

// Other fields, and the unit option, are read only by the next Start.
TEST(TestField, OtherEditsWaitForTheNextSeries) {
  Lab lab("2", "10");
  lab::SimState& s = lab.s;
  lab.port.AtStep(1234, [&](HeadlessPort& p) {
    p.Paste(0, "5");   // m1
    p.Paste(12, "0");  // end
    p.Type(14, '0');   // d alpha "100"
    p.SelectUnit(false);
    EXPECT_EQ(s.m1, 1);
    EXPECT_EQ(s.alphaend, 10);
    p.Click(kNext);
  });
  lab.port.AtStep(1300, [&](HeadlessPort& p) {  // the series goes on as it began
    EXPECT_EQ(s.alpha, 10);
    EXPECT_EQ(s.m1, 1);
    EXPECT_EQ(s.auflag, 1);
    p.Click(kNext);
  });
  lab.port.AtWait([&](HeadlessPort& p) {
    EXPECT_EQ(lab.port.tests.size(), 2u);
    p.Click(kStart);
  });
  lab.port.AtStep(1, [&](HeadlessPort&) {  // a new series reads them
    EXPECT_EQ(s.m1, 5);
    EXPECT_EQ(s.alphaend, 0);
    EXPECT_EQ(s.dalpha, 100);
    EXPECT_EQ(s.auflag, 0);
  });
  lab.port.AtStep(1234, Press(kNext));
  lab.Run();
  EXPECT_TRUE(lab.port.ended_by_script);
  EXPECT_EQ(lab.port.tests.size(), 3u);
}

// Clear erases the drawing at once; the series keeps drawing, and a Clear in
// the yield that opens a display step comes before that step's points.
TEST(ClearButton, ErasesTheDrawingAndTheSeriesDrawsOn) {
  Lab lab("2");
  std::uint64_t plotted_at_clear = 0;
  lab.port.AtStep(1200, [&](HeadlessPort& p) {
    EXPECT_FALSE(p.points.empty());
    p.Click(kClear);
    EXPECT_EQ(p.clears, 2);
    EXPECT_TRUE(p.points.empty());
    plotted_at_clear = p.points_plotted;
  });
  lab.port.AtStep(1201, [&](HeadlessPort& p) {
    EXPECT_FALSE(p.points.empty());
    EXPECT_EQ(p.points.size(), p.points_plotted - plotted_at_clear);
  });
  lab.port.AtStep(1500, Press(kStop));
  lab.Run();
  EXPECT_EQ(lab.port.points.size(), lab.port.points_plotted - plotted_at_clear);
  EXPECT_EQ(lab.s.runstate, 1);
}

}  // namespace
