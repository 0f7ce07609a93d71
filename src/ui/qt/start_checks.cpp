#include "ui/qt/start_checks.h"

#include "control/headless_port.h"
#include "records/texts.h"
#include "setup/field_names.h"
#include "setup/number_text.h"
#include "setup/presets.h"
#include "setup/read_fields.h"
#include "setup/series_checks.h"

namespace lab {

namespace {

// The fields Start reads, in the order the batch runner checks its --set texts.
constexpr int kReadFields[] = {0, 1, 2, 3, 4, 11, 12, 13, 14};

// How a message names a field's text: field "dist 1" ("2").
std::string Subject(int field, const std::string& text) {
  return std::string("field \"") + FieldCaption(field) + "\" (" + Echo(text) + ")";
}

// Where Start will place body 3: the fields read into a copy of the state,
// as Start reads them, and judged in the batch runner's words.
std::string StartPlaceWarning(const SimState& s, DisplayPort& port) {
  SimState started = s;
  HeadlessPort reader(started);
  for (int i = 0; i < kControlFields; ++i) reader.fields[i] = port.GetFieldText(i);
  reader.unit = port.GetUnitOption() ? UnitChoice::kAU : UnitChoice::kKm;
  INIT1(started, reader);
  return InsidePairWarning(started);
}

}  // namespace

StartCheck CheckStart(const SimState& s, DisplayPort& port,
                      const std::array<bool, kControlFields>& typed) {
  StartCheck c;
  const std::string test = port.GetFieldText(10);
  CheckTestText(test, s.testno, Subject(10, test), &c.warnings);
  const FieldCheckContext context{s.testno, DECVAL(port.GetFieldText(2))};
  for (int field : kReadFields) {
    if (!typed[field]) continue;
    const std::string text = port.GetFieldText(field);
    if (!CheckFieldText(field, text, Subject(field, text), context, &c.warnings, &c.refusal))
      return c;
  }
  const std::string dalpha = port.GetFieldText(14);
  CountSeries(AnglesOfTexts(port.GetFieldText(11), port.GetFieldText(12), dalpha), Echo(dalpha),
              &c.refusal);
  if (const std::string w = StartPlaceWarning(s, port); !w.empty()) c.warnings.push_back(w);
  return c;
}

encounter::Scenario ScenarioOfFields(DisplayPort& port,
                                     const std::array<bool, kControlFields>& typed) {
  encounter::Scenario scenario;
  scenario.test = port.GetFieldText(10);
  for (int field : kReadFields)
    if (typed[field]) scenario.fields.emplace_back(NameOfField(field), port.GetFieldText(field));
  scenario.unit = port.GetUnitOption() ? encounter::Unit::kAU : encounter::Unit::kKm;
  return scenario;
}

std::string TestFieldNote(double testno, double loaded) {
  if (IsPreset(testno)) return "";
  return "no scenario " + NumberText(testno) + ": the fields hold scenario " + NumberText(loaded);
}

}  // namespace lab
