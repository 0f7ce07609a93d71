#include "simulation/test_row.h"

#include "state/sim_state.h"

namespace lab {

const char* EndWord(int endcause, bool limit) {
  if (limit) return "limit";
  switch (endcause) {
    case kEndEscaped: return "escaped";
    case kEndReceded: return "receded";
    case kEndAbsorbed: return "absorbed";
    case kEndPassages: return "passages";
    case kEndNext: return "next";
    default: return "none";
  }
}

namespace {
constexpr int kRow1First = 7;
constexpr int kRow1V3 = 10;
constexpr int kRow1Last = 13;
constexpr int kRow2First = 14;
}  // namespace

void TakeResultText(TestRow& row, int index, const std::string& text, bool v3_red,
                    const std::string& vesc_heading) {
  if (index == 0) {
    row = TestRow{};
  } else if (index >= kRow1First && index <= kRow1Last) {
    row.row1[index - kRow1First] = text;
    if (index == kRow1V3) row.v3_red = v3_red;
    if (index == kRow1Last) row.vesc_heading = vesc_heading;
  } else if (index >= kRow2First) {
    row.best = true;
  }
}

bool FinishRow(TestRow& row, const TestSummary& summary, bool limit) {
  if (!summary.results) return false;
  row.steps = summary.steps;
  row.end = EndWord(summary.endcause, limit);
  row.candidate = summary.candidate;
  row.ratio = summary.ratio;
  row.ratio_body = summary.ratio_body;
  return true;
}

}  // namespace lab
