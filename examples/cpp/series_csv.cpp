// Runs scenario 2 through the library and prints its series as CSV: the
// bytes `encounter-batch --test 2` prints.
#include <encounter/encounter.h>

#include <iostream>

int main() {
  encounter::Scenario scenario;
  scenario.test = "2";
  encounter::Series series(scenario, encounter::SeriesOptions{});
  std::cout << series.first_lines();
  series.Run([](const encounter::Row& row) { std::cout << row.csv; });
}
