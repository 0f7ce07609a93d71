#include "series/series_checks.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "records/texts.h"
#include "setup/field_names.h"
#include "setup/number_text.h"
#include "setup/presets.h"
#include "setup/read_fields.h"

namespace lab {

Angles AnglesOf(HeadlessPort& port) {
  return {ReadNumber(port.GetFieldText(11)), ReadNumber(port.GetFieldText(12)),
          ReadNumber(port.GetFieldText(14))};
}

// How many tests the series runs, exactly as the run loop advances the angle
// (alpha0 + dalpha, while at or below the last angle); or why it cannot run:
// nobody is there to press Stop on a series that never ends.
std::int64_t CountSeries(const Angles& a, const std::string& dalpha_text, std::string* refusal) {
  if (!std::isfinite(a.start) || !std::isfinite(a.end) || !std::isfinite(a.step)) {
    *refusal = "the angles \"start\", \"end\" and \"d alpha\" must be finite numbers";
    return 0;
  }
  if (!(a.start + a.step <= a.end)) return 1;
  if (!(a.step > 0)) {
    *refusal = "the angle increment \"d alpha\" (" + Echo(dalpha_text) +
               ") never reaches the last angle; the series would not end";
    return 0;
  }
  const double estimate = (a.end - a.start) / a.step;
  if (!(estimate < static_cast<double>(kMostTests) + 2)) {
    *refusal = "the series would run about " + NumberText(estimate) +
               " tests, more than 1000000000; choose a larger \"d alpha\" or a shorter range";
    return 0;
  }
  std::int64_t n = 1;
  for (double alpha = a.start;;) {
    const double next = alpha + a.step;
    if (!(next <= a.end)) break;
    if (next == alpha) {
      *refusal = "the angle increment \"d alpha\" (" + Echo(dalpha_text) +
                 ") no longer changes the angle at " + NumberText(alpha) +
                 " degrees; the series would not end";
      return 0;
    }
    alpha = next;
    if (++n > kMostTests) {
      *refusal = "the series would run more than 1000000000 tests";
      return 0;
    }
  }
  return n;
}

// Whether a field's text reads as a number from its first to its last
// character (blanks aside), as opposed to a number followed by other text.
bool ReadsWhole(std::string text, bool comma_is_point) {
  std::string t;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n') continue;
    if (comma_is_point && c == ',') c = '.';
    if (c == 'd' || c == 'D') c = 'e';
    t += c;
  }
  if (t.size() >= 2 && t[0] == '&') return true;  // &H and &O integers
  if (!t.empty() && t[0] == '+') t.erase(0, 1);
  if (t.empty() || t[0] == '+' || t[0] == 'i' || t[0] == 'I' || t[0] == 'n' || t[0] == 'N')
    return false;
  double v = 0;
  const auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  return (ec == std::errc() || ec == std::errc::result_out_of_range) && p == t.data() + t.size();
}

bool EndsInAU(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text.size() > 2 && (text[text.size() - 2] == 'A' || text[text.size() - 2] == 'a') &&
         (text.back() == 'U' || text.back() == 'u');
}

std::string ScenarioList() {
  std::string list;
  for (double n : PresetNumbers()) list += (list.empty() ? "" : " ") + NumberText(n);
  return list;
}

bool IsScenario(double testno) {
  const auto numbers = PresetNumbers();
  return std::find(numbers.begin(), numbers.end(), testno) != numbers.end();
}

// What the options ask for that the set-up will not do as the user may think.
// Refusals (a number that is not finite) go to *refusal.
std::vector<std::string> SetUpWarnings(const std::optional<std::string>& test_text,
                                       const std::vector<std::pair<int, std::string>>& sets,
                                       const SimState& s, HeadlessPort& port,
                                       std::string* refusal) {
  std::vector<std::string> w;
  const std::string scenario = "scenario " + NumberText(s.testno);
  if (test_text) {
    if (!ReadsWhole(*test_text, false))
      w.push_back("--test " + Echo(*test_text) + " reads as " + NumberText(s.testno));
    if (!IsScenario(s.testno))
      w.push_back("--test " + Echo(*test_text) + ": no scenario has the number " +
                  NumberText(s.testno) + "; the fields keep their values (scenarios: " +
                  ScenarioList() + ")");
  }
  const double m3 = DECVAL(port.GetFieldText(2));
  for (const auto& [field, text] : sets) {
    const std::string set = "--set " + std::string(NameOfField(field)) + "=" + Echo(text);
    const std::string caption = std::string("\"") + kFieldCaptions[field] + "\"";
    if (field == 3 || field == 4) {
      if (!EndsInAU(text)) {
        w.push_back(set + ": " + caption +
                    " is read only when its text ends in the unit AU (\"2.5 AU\"); this text "
                    "is ignored");
        continue;
      }
      std::string number = text;
      while (number.back() == ' ') number.pop_back();
      number.resize(number.size() - 2);
      if (!std::isfinite(ReadNumber(number))) {
        *refusal = set + ": the number is not finite";
        return w;
      }
      if (!ReadsWhole(number, false))
        w.push_back(set + " reads as " + NumberText(ReadNumber(number)) + " AU");
      if (field == 4 && s.testno == 0 && m3 > 1)
        w.push_back(set + ": scenario 0 derives \"dist 2\" from \"dist 1\" and \"m3\" when m3 > 1; "
                          "this text is overwritten");
      continue;
    }
    const bool comma = field <= 2 || field == 13;
    const double value = comma ? DECVAL(text) : ReadNumber(text);
    if (!std::isfinite(value)) {
      *refusal = set + ": the number is not finite";
      return w;
    }
    if (!ReadsWhole(text, comma)) w.push_back(set + " reads as " + NumberText(value));
    if (field == 0 && s.testno == 0 && value != 1)
      w.push_back(set + ": scenario 0 sets \"m1\" to 1 whatever the field holds");
    else if (field <= 2 && s.testno != 0)
      w.push_back(set + ": " + scenario +
                  " moves the bodies with its own masses; " + caption +
                  " only changes the comparisons (regime, escape speed shown)");
  }
  return w;
}

}  // namespace lab
