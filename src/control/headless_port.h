// A display port without windows. It keeps every text, colour, caption and
// plotted point the logic gives it, answers reads from what it keeps, and
// plays a script of user actions inside YieldEvents and WaitEvents, so that
// tests and the batch runner drive the program as a user at the windows would.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "state/sim_state.h"
#include "port/display_port.h"

namespace lab {

enum class UnitChoice { kNeither, kAU, kKm };

struct PlottedPoint {
  float x, y;
  ColourNumber colour;
};

// The outer size the headless Trajectory Display reports: the client area of
// 4680 x 4290 twips plus a frame of 4 pixels and a title bar of 23 pixels.
inline constexpr TrajectorySize kHeadlessTrajectorySize{4680.0f + 120.0f, 4290.0f + 120.0f + 345.0f};

class HeadlessPort : public DisplayPort {
 public:
  using Action = std::function<void(HeadlessPort&)>;

  explicit HeadlessPort(SimState& s);

  // DisplayPort
  void ShowResultWindows() override;
  void ClearTrajectory() override;
  void PlotPoint(float x, float y, ColourNumber colour) override;
  TrajectorySize GetTrajectorySize() override { return trajectory_size; }
  std::string GetFieldText(int index) override;
  void SetFieldText(int index, const std::string& text) override;
  bool GetUnitOption() override { return unit == UnitChoice::kAU; }
  void SetUnitOption(bool au) override;
  void SetResultText(int index, const std::string& text) override;
  void SetResultColour(int index, ColourNumber colour) override;
  void SetResultHeading(int index, const std::string& text) override;
  void SetButtonCaption(Button button, const std::string& caption) override;
  void ArrangeWindows() override { ++arranged; }
  void YieldEvents() override;
  void WaitEvents() override;
  [[noreturn]] void EndProgram() override;
  std::int64_t TimeOfDay() override { return clock; }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }

  // What a user does; each runs its handler at once.
  void Click(Button button);
  void Paste(int field, const std::string& text);  // replaces the field's text
  void Type(int field, char key);                  // one key stroke; '\b' deletes
  void SelectUnit(bool au);                        // "AU" (true) or "km" (false)

  // The script: actions played in order. An action waits for its trigger,
  // and is looked at only once every action before it has been played.
  void AtYield(std::uint64_t n, Action action);  // at the n-th YieldEvents (1 = first)
  void AtStep(std::int64_t n, Action action);    // at the first yield with tcnt >= n
  void AtWait(Action action);                    // at the next WaitEvents
  bool ScriptDone() const { return script_.empty(); }

  // Everything the windows would show.
  std::array<std::string, kControlFields> fields;
  UnitChoice unit = UnitChoice::kKm;
  std::array<std::string, kResultFields> results;
  std::array<ColourNumber, kResultFields> result_colours{};
  std::array<std::string, kResultColumns> headings;
  std::array<std::string, 4> captions;  // indexed by Button
  bool trajectory_visible = false;
  bool data_visible = false;
  int arranged = 0;
  TrajectorySize trajectory_size = kHeadlessTrajectorySize;

  bool record_points = true;  // false: only count them
  std::vector<PlottedPoint> points;
  std::uint64_t points_plotted = 0;
  int clears = 0;
  std::vector<std::string> messages;

  std::int64_t clock = 0;  // what TimeOfDay answers
  std::uint64_t yields = 0;
  std::uint64_t waits = 0;
  bool ended = false;            // EndProgram ran
  bool ended_by_script = false;  // ... because a wait found the script done

 protected:
  SimState& s_;

 private:
  enum class Trigger { kYield, kStep, kWait };
  struct Scripted {
    Trigger trigger;
    std::int64_t n;
    Action action;
  };
  bool Due(const Scripted& e) const;
  void PlayDue();

  std::deque<Scripted> script_;
};

}  // namespace lab
