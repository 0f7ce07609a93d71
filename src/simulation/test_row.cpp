#include "simulation/test_row.h"

#include "state/sim_state.h"

namespace lab {

encounter::End EndOfCause(int endcause, bool limit) {
  using encounter::End;
  if (limit) return End::kLimit;
  switch (endcause) {
    case kEndEscaped: return End::kEscaped;
    case kEndReceded: return End::kReceded;
    case kEndAbsorbed: return End::kAbsorbed;
    case kEndPassages: return End::kPassages;
    case kEndNext: return End::kNext;
    default: return End::kNone;
  }
}

const char* EndWord(int endcause, bool limit) { return encounter::EndName(EndOfCause(endcause, limit)); }

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
