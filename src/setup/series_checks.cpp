#include "setup/series_checks.h"


#include <charconv>
#include <cmath>

#include "setup/field_names.h"
#include "setup/number_text.h"
#include "setup/presets.h"
#include "setup/units.h"

namespace lab {

namespace {

std::string Quoted(int field) { return std::string("\"") + FieldCaption(field) + "\""; }

// A distance text, read only with the unit AU: the number before the unit.
bool CheckDistanceText(int field, const std::string& text, const std::string& subject,
                       const FieldCheckContext& c, std::vector<std::string>* w,
                       std::string* refusal) {
  if (!EndsInAU(text)) {
    w->push_back(subject + ": " + Quoted(field) +
                 " is read only when its text ends in the unit AU (\"2.5 AU\"); this text "
                 "is ignored");
    return true;
  }
  std::string number = text;
  while (number.back() == ' ') number.pop_back();
  number.resize(number.size() - 2);
  if (!std::isfinite(ReadNumber(number))) {
    *refusal = subject + ": the number is not finite";
    return false;
  }
  if (!ReadsWhole(number, false))
    w->push_back(subject + " reads as " + NumberText(ReadNumber(number)) + " AU");
  if (field == 4 && c.testno == 0 && c.m3 > 1)
    w->push_back(subject + ": scenario 0 derives \"dist 2\" from \"dist 1\" and \"m3\" when m3 > 1; "
                           "this text is overwritten");
  return true;
}

}  // namespace

const char* FieldCaption(int field) {
  return field >= 0 && field < kControlFields ? kFieldCaptions[field] : "?";
}

SeriesAngles AnglesOfTexts(const std::string& start, const std::string& end,
                           const std::string& dalpha) {
  return {ReadNumber(start), ReadNumber(end), ReadNumber(dalpha)};
}

std::int64_t CountSeries(const SeriesAngles& a, const std::string& dalpha_echo,
                         std::string* refusal) {
  if (!std::isfinite(a.start) || !std::isfinite(a.end) || !std::isfinite(a.step)) {
    *refusal = "the angles \"start\", \"end\" and \"d alpha\" must be finite numbers";
    return 0;
  }
  if (!(a.start + a.step <= a.end)) return 1;
  if (!(a.step > 0)) {
    *refusal = "the angle increment \"d alpha\" (" + dalpha_echo +
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
      *refusal = "the angle increment \"d alpha\" (" + dalpha_echo +
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

bool CheckFieldText(int field, const std::string& text, const std::string& subject,
                    const FieldCheckContext& c, std::vector<std::string>* w,
                    std::string* refusal) {
  if (field == 3 || field == 4) return CheckDistanceText(field, text, subject, c, w, refusal);
  const bool comma = field <= 2 || field == 13;
  const double value = comma ? DECVAL(text) : ReadNumber(text);
  if (!std::isfinite(value)) {
    *refusal = subject + ": the number is not finite";
    return false;
  }
  if (!ReadsWhole(text, comma)) w->push_back(subject + " reads as " + NumberText(value));
  if (field == 0 && c.testno == 0 && value != 1)
    w->push_back(subject + ": scenario 0 sets \"m1\" to 1 whatever the field holds");
  else if (field <= 2 && c.testno != 0)
    w->push_back(subject + ": scenario " + NumberText(c.testno) +
                 " moves the bodies with its own masses; " + Quoted(field) +
                 " only changes the comparisons (regime, escape speed shown)");
  return true;
}

void CheckTestText(const std::string& text, double testno, const std::string& subject,
                   std::vector<std::string>* w) {
  if (!ReadsWhole(text, false)) w->push_back(subject + " reads as " + NumberText(testno));
  if (!IsPreset(testno))
    w->push_back(subject + ": no scenario has the number " + NumberText(testno) +
                 "; the fields keep their values (scenarios: " + PresetList() + ")");
}

std::string InsidePairWarning(const SimState& started) {
  if (!(started.dist2 <= started.dist1)) return "";
  const bool au = started.auflag == 1;
  auto shown = [&](double km) {
    return NumberText(au ? km / started.auc : km) + " " + UnitName(au);
  };
  return "body 3 starts " + shown(started.dist2) + " from the centre, " +
         (started.dist2 == started.dist1 ? "at" : "inside") + " the pair's separation of " +
         shown(started.dist1) + ": it does not fall in from far out";
}

}  // namespace lab
