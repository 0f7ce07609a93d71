// The one road from the logic to the three windows. The run loop, the set-up
// and the command handlers call only these operations; the desktop program
// implements them with real windows, the tests and the batch runner with the
// headless port.
#pragma once

#include <cstdint>
#include <string>

#include "state/colour.h"

namespace lab {

enum class Button { CommandStart, CommandStop, CommandNext, CommandClear };

// What the run loop tells about a test that has just ended.
struct TestSummary {
  double alpha = 0;         // start angle (degrees)
  std::int64_t steps = 0;   // steps integrated
  int endcause = 0;         // EndCause: why it ended
  bool results = false;     // false: it ended without results (a value was not finite)
  bool candidate = false;   // it could enter row 2 of the Data Display
  double ratio = 0;         // speed / escape speed of the selected body, when a candidate
  int ratio_body = 0;       // whose speed the ratio divides: 1 or 2 (counted from 1)
  double vescshown = 0;     // the escape speed row 1 shows (km/s), unrounded
  double rmax = 0;          // squared distance row 1 shows in column 5 (km²)
  double time = 0;          // time of the test's end since its start (s)
};

struct TrajectorySize {
  float width = 0;   // outer width of the Trajectory Display, frame included (twips)
  float height = 0;  // outer height, frame and title bar included (twips)
};

// Control Display fields 0..14 and Data Display fields 0..20 (row * 7 + column).
inline constexpr int kControlFields = 15;
inline constexpr int kResultFields = 21;
inline constexpr int kResultColumns = 7;

class DisplayPort {
 public:
  virtual ~DisplayPort() = default;

  // Trajectory Display and Data Display become visible (in this order).
  virtual void ShowResultWindows() = 0;
  // Fills the drawing area with the window face colour.
  virtual void ClearTrajectory() = 0;
  // Sets one pixel; x, y in twips from the top-left of the drawing area.
  virtual void PlotPoint(float x, float y, ColourNumber colour) = 0;
  virtual TrajectorySize GetTrajectorySize() = 0;

  virtual std::string GetFieldText(int index) = 0;
  // Raises Text1_Change(index) before returning, when the text really changes.
  virtual void SetFieldText(int index, const std::string& text) = 0;
  virtual bool GetUnitOption() = 0;  // true: "AU" selected
  // true selects "AU" (clearing "km"); false clears "AU" and selects nothing.
  virtual void SetUnitOption(bool au) = 0;

  virtual void SetResultText(int index, const std::string& text) = 0;
  virtual void SetResultColour(int index, ColourNumber colour) = 0;
  virtual void SetResultHeading(int index, const std::string& text) = 0;
  virtual void SetButtonCaption(Button button, const std::string& caption) = 0;
  virtual void ArrangeWindows() = 0;

  // Runs every pending user event, each handler to completion, and returns.
  virtual void YieldEvents() = 0;
  // Sleeps until the user acts, then runs the events as YieldEvents does.
  // The waits of the run loop use it so that a paused program costs nothing.
  virtual void WaitEvents() = 0;
  // Ends the program at once; no statement of the caller runs after it.
  [[noreturn]] virtual void EndProgram() = 0;

  // Time of day in whole seconds; paces the live row of the Data Display.
  virtual std::int64_t TimeOfDay() = 0;
  // Tells the user why a set-up or a test was refused.
  virtual void ShowMessage(const std::string& text) = 0;
  // Whether plotted points are drawn or kept at all: the bodies' points are
  // computed only for a port that keeps them, and a method that draws extra
  // points between its steps asks first. The windows always draw.
  virtual bool DrawsPoints() { return true; }
  // The run loop reports each test it has ended; the windows need nothing of it.
  virtual void TestFinished(const TestSummary&) {}
};

}  // namespace lab
