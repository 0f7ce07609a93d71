// encounter-batch: one series of tests without windows, results as CSV.
#include <iostream>
#include <string>
#include <vector>

#include "app/batch/batch_run.h"
#include "app/batch/stop.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  lab::InstallStopHandlers();
  return lab::RunBatch(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
