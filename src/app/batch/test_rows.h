// The CSV row of a test, built from what the logic writes into the Data
// Display. The batch runner and the windows (which keep the series for
// saving) build their rows the same way, so both save the same bytes.
#pragma once

#include <string>

#include "app/batch/batch_port.h"
#include "ui/display_port.h"

namespace lab {

// Data Display field `index` now reads `text`. Field 0 is written when a test
// begins and starts the row afresh; row 1 gives the texts, and any write to
// row 2 marks the test as the best so far. v3_red: row 1's "V #3" is shown in
// light red; vesc_heading: the heading of the "Vesc" column.
void TakeResultText(TestRow& row, int index, const std::string& text, bool v3_red,
                    const std::string& vesc_heading);

// The test has ended; limit: the step limit ended it. False when it ended
// without results, and so has no row.
bool FinishRow(TestRow& row, const TestSummary& summary, bool limit);

}  // namespace lab
