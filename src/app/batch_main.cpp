// encounter-batch: one series of tests without windows, results as CSV.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/batch/batch_run.h"
#include "app/batch/signals.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  lab::InstallStopHandlers();
  // Caught here, so that the stack unwinds and no temporary file outlives
  // an unforeseen failure (out of memory, say).
  try {
    return lab::RunBatch(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "encounter-batch: " << e.what() << '\n';
    return 2;
  }
}
