#include "control/headless_port.h"

#include <utility>

#include "port/control_flow.h"
#include "control/handlers.h"

namespace lab {

namespace {

// The texts the Control Display fields hold when the window is created.
constexpr std::array<const char*, kControlFields> kDesignTexts = {
    "1", "1", "0.001", "1 AU", "0.001", " ", "", " ", "", " ", "0", " ", " ", "0", " "};

}  // namespace

HeadlessPort::HeadlessPort(SimState& s) : s_(s) {
  for (int i = 0; i < kControlFields; ++i) fields[i] = kDesignTexts[i];
  results.fill("Text1");
  headings = {"Alpha", "V #1", "V #2", "V #3", "Vesc", "r #3", "r min"};
  captions = {"Start", "Stop", "Next", "Clear"};
}

void HeadlessPort::ShowResultWindows() {
  trajectory_visible = true;
  data_visible = true;
}

void HeadlessPort::ClearTrajectory() {
  ++clears;
  points.clear();
}

void HeadlessPort::PlotPoint(float x, float y, ColourNumber colour) {
  ++points_plotted;
  if (record_points) points.push_back({x, y, colour});
}

std::string HeadlessPort::GetFieldText(int index) { return fields.at(index); }

void HeadlessPort::SetFieldText(int index, const std::string& text) {
  if (fields.at(index) == text) return;  // a text field reports real changes only
  fields[index] = text;
  Text1_Change(s_, *this, index);
}

void HeadlessPort::SetUnitOption(bool au) {
  if (au) {
    unit = UnitChoice::kAU;
  } else if (unit == UnitChoice::kAU) {
    unit = UnitChoice::kNeither;
  }
}

void HeadlessPort::SetResultText(int index, const std::string& text) { results.at(index) = text; }
void HeadlessPort::SetResultColour(int index, ColourNumber colour) { result_colours.at(index) = colour; }
void HeadlessPort::SetResultHeading(int index, const std::string& text) { headings.at(index) = text; }

void HeadlessPort::SetButtonCaption(Button button, const std::string& caption) {
  captions.at(static_cast<int>(button)) = caption;
}

void HeadlessPort::EndProgram() {
  ended = true;
  throw ProgramEnded{};
}

void HeadlessPort::Click(Button button) { ClickButton(s_, *this, button); }

void HeadlessPort::Paste(int field, const std::string& text) { SetFieldText(field, text); }

void HeadlessPort::Type(int field, char key) {
  std::string text = fields.at(field);
  if (key == '\b') {
    if (text.empty()) return;
    text.pop_back();
  } else {
    text.push_back(key);
  }
  SetFieldText(field, text);
}

void HeadlessPort::SelectUnit(bool au) { unit = au ? UnitChoice::kAU : UnitChoice::kKm; }

void HeadlessPort::AtYield(std::uint64_t n, Action action) {
  script_.push_back({Trigger::kYield, static_cast<std::int64_t>(n), std::move(action)});
}
void HeadlessPort::AtStep(std::int64_t n, Action action) {
  script_.push_back({Trigger::kStep, n, std::move(action)});
}
void HeadlessPort::AtWait(Action action) { script_.push_back({Trigger::kWait, 0, std::move(action)}); }

bool HeadlessPort::Due(const Scripted& e) const {
  switch (e.trigger) {
    case Trigger::kYield: return static_cast<std::int64_t>(yields) >= e.n;
    case Trigger::kStep: return s_.tcnt >= e.n;
    case Trigger::kWait: return false;
  }
  return false;
}

// Plays every action that is due. An action is taken off the script before it
// runs, since a handler may leave by an exception (a new series, the end).
void HeadlessPort::PlayDue() {
  while (!script_.empty() && Due(script_.front())) {
    Action action = std::move(script_.front().action);
    script_.pop_front();
    action(*this);
  }
}

void HeadlessPort::YieldEvents() {
  ++yields;
  if (!script_.empty()) PlayDue();
}

// A waiting program sleeps until the user acts: the next action of the script
// is played whatever its trigger, and a finished script ends the program.
void HeadlessPort::WaitEvents() {
  ++waits;
  if (script_.empty()) {
    ended_by_script = true;
    EndProgram();
  }
  Action action = std::move(script_.front().action);
  script_.pop_front();
  action(*this);
  PlayDue();
}

}  // namespace lab
