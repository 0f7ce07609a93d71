// The CSV the batch runner prints, and the shard files merge reads back.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "app/batch/batch_port.h"

namespace lab {

struct CsvLayout {
  bool energy = false;  // the column energy_err
  bool shard = false;   // a leading column "test" (the index of the test in the series)
  bool crosscheck = false;  // the columns of the accurate method, before ratio
};

std::string CsvHeader(const CsvLayout& layout);
void WriteCsvRow(std::ostream& out, const CsvLayout& layout, std::int64_t test,
                 const TestRow& row);

// A number with 17 significant digits: read back, it is the same double.
std::string ExactText(double value);

// Row 2's rule in series order: a candidate whose ratio beats the best so far.
bool TakesRowTwo(const TestRow& row, double* bestratio);

}  // namespace lab
