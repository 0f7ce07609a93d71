#include "series/map_refine.h"

#include <algorithm>

namespace lab {

int UsableRefineLevels(int rows, std::int64_t columns, int levels) {
  // A spacing of 2^L leaves two cells, 0 and 2^L, in a direction of n > 1
  // cells as long as 2^L < n.
  int usable = 0;
  for (std::int64_t stride = 2; usable < levels; stride *= 2, ++usable) {
    if ((rows > 1 && stride >= rows) || (columns > 1 && stride >= columns)) break;
  }
  return usable;
}

std::string RefineLevelsWarning(int rows, std::int64_t columns, int levels) {
  const int usable = UsableRefineLevels(rows, columns, levels);
  if (usable == levels) return "";
  return "refinement by " + std::to_string(levels) + " levels would leave a coarse grid of one cell "
         "across a map of " + std::to_string(rows) + " x " + std::to_string(columns) +
         " cells; refining by " + std::to_string(usable) + " level" + (usable == 1 ? "" : "s") +
         " instead (a grid " + std::to_string(1 << usable) + " times coarser)";
}

RefinePlan::RefinePlan(int rows, std::int64_t columns, int levels)
    : rows_(rows), columns_(columns), stride_(std::int64_t{1} << UsableRefineLevels(rows, columns, levels)) {
  source_.assign(static_cast<std::size_t>(rows_ * columns_), -1);
  outcome_.assign(source_.size(), 0);
}

void RefinePlan::Set(int row, std::int64_t column, int outcome) {
  const std::int64_t c = Cell(row, column);
  if (source_[c] != c) ++computed_;
  source_[c] = c;
  outcome_[c] = outcome;
}

std::int64_t RefinePlan::Source(int row, std::int64_t column) const {
  return source_[Cell(row, column)];
}

// A block of the present spacing whose corner cell differs from the corner
// of any of its eight neighbouring blocks.
bool RefinePlan::Mixed(std::int64_t row, std::int64_t column) const {
  const int own = outcome_[Cell(row, column)];
  for (std::int64_t dr = -stride_; dr <= stride_; dr += stride_) {
    for (std::int64_t dc = -stride_; dc <= stride_; dc += stride_) {
      const std::int64_t r = row + dr, c = column + dc;
      if (r < 0 || r >= rows_ || c < 0 || c >= columns_) continue;
      if (outcome_[Cell(r, c)] != own) return true;
    }
  }
  return false;
}

// Whether the corners a new cell lies between (those inside the grid)
// differ; at the grid's edge, with one corner only, whether its block is mixed.
bool RefinePlan::Between(std::int64_t row, std::int64_t column, bool block_mixed,
                         std::initializer_list<std::pair<std::int64_t, std::int64_t>> corners) const {
  const int own = outcome_[Cell(row, column)];
  int inside = 0;
  for (const auto& [r, c] : corners) {
    if (r >= rows_ || c >= columns_) continue;
    ++inside;
    if (outcome_[Cell(r, c)] != own) return true;
  }
  return inside == 0 && block_mixed;
}

// Halves the spacing: the new cells to compute (see the top of the header);
// the others take the value of their block's corner.
std::vector<std::vector<std::int64_t>> RefinePlan::Subdivide() {
  const std::int64_t s = stride_, half = stride_ / 2;
  const bool by_blocks = stride_ > 4;
  std::vector<std::vector<std::int64_t>> batch(static_cast<std::size_t>(rows_));
  for (std::int64_t r = 0; r < rows_; r += stride_) {
    for (std::int64_t c = 0; c < columns_; c += stride_) {
      const bool mixed = Mixed(r, c);
      const std::int64_t corner = Cell(r, c);
      const std::pair<std::int64_t, std::int64_t> cells[] = {{r, c + half}, {r + half, c}, {r + half, c + half}};
      const bool compute[] = {
          by_blocks ? mixed : Between(r, c, mixed, {{r, c + s}}),
          by_blocks ? mixed : Between(r, c, mixed, {{r + s, c}}),
          by_blocks ? mixed : Between(r, c, mixed, {{r, c + s}, {r + s, c}, {r + s, c + s}})};
      for (int k = 0; k < 3; ++k) {
        const auto [nr, nc] = cells[k];
        if (nr >= rows_ || nc >= columns_) continue;
        if (compute[k]) {
          batch[nr].push_back(nc);
        } else {
          source_[Cell(nr, nc)] = source_[corner];
          outcome_[Cell(nr, nc)] = outcome_[corner];
        }
      }
    }
  }
  stride_ = half;
  for (auto& columns : batch) std::sort(columns.begin(), columns.end());
  return batch;
}

// The cells not computed beside a computed cell of another outcome.
std::vector<std::vector<std::int64_t>> RefinePlan::TraceRims() {
  std::vector<std::vector<std::int64_t>> batch(static_cast<std::size_t>(rows_));
  for (std::int64_t r = 0; r < rows_; ++r) {
    for (std::int64_t c = 0; c < columns_; ++c) {
      const std::int64_t cell = Cell(r, c);
      if (source_[cell] == cell) continue;
      for (const auto& [nr, nc] : {std::pair{r, c - 1}, std::pair{r, c + 1}, std::pair{r - 1, c},
                                   std::pair{r + 1, c}}) {
        if (nr < 0 || nr >= rows_ || nc < 0 || nc >= columns_) continue;
        const std::int64_t n = Cell(nr, nc);
        if (source_[n] == n && outcome_[n] != outcome_[cell]) {
          batch[r].push_back(c);
          break;
        }
      }
    }
  }
  return batch;
}

std::vector<std::vector<std::int64_t>> RefinePlan::Next() {
  auto empty = [](const std::vector<std::vector<std::int64_t>>& b) {
    return std::all_of(b.begin(), b.end(), [](const auto& row) { return row.empty(); });
  };
  if (!started_) {
    started_ = true;
    std::vector<std::vector<std::int64_t>> batch(static_cast<std::size_t>(rows_));
    for (std::int64_t r = 0; r < rows_; r += stride_)
      for (std::int64_t c = 0; c < columns_; c += stride_) batch[r].push_back(c);
    return batch;
  }
  while (stride_ > 1) {
    auto batch = Subdivide();
    if (!empty(batch)) return batch;
  }
  auto batch = TraceRims();
  if (!empty(batch)) return batch;
  return {};
}

}  // namespace lab
