#include "series/map_refine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <random>

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
  if (sampling_ && source_[c] != c && outcome != outcome_[c]) ++sampled_differing_;
  if (source_[c] != c) ++computed_;
  source_[c] = c;
  outcome_[c] = outcome;
}

std::int64_t RefinePlan::Source(int row, std::int64_t column) const {
  return source_[Cell(row, column)];
}

// Whether the block with this corner, or one of its eight neighbouring
// blocks, has corners not all alike: whether the corners of the 4 x 4 window
// from one spacing before the block to two after (those inside the grid)
// differ.
bool RefinePlan::NearDiffering(std::int64_t row, std::int64_t column) const {
  const int own = outcome_[Cell(row, column)];
  for (std::int64_t r = row - stride_; r <= row + 2 * stride_; r += stride_) {
    if (r < 0 || r >= rows_) continue;
    for (std::int64_t c = column - stride_; c <= column + 2 * stride_; c += stride_) {
      if (c < 0 || c >= columns_) continue;
      if (outcome_[Cell(r, c)] != own) return true;
    }
  }
  return false;
}

// Halves the spacing: the new cells of the blocks to split (see the top of
// the header); the others take the value of their block's corner.
std::vector<std::vector<std::int64_t>> RefinePlan::Subdivide() {
  const std::int64_t half = stride_ / 2;
  std::vector<std::vector<std::int64_t>> batch(static_cast<std::size_t>(rows_));
  for (std::int64_t r = 0; r < rows_; r += stride_) {
    for (std::int64_t c = 0; c < columns_; c += stride_) {
      const bool split = NearDiffering(r, c);
      const std::int64_t corner = Cell(r, c);
      for (const auto& [nr, nc] : {std::pair{r, c + half}, std::pair{r + half, c}, std::pair{r + half, c + half}}) {
        if (nr >= rows_ || nc >= columns_) continue;
        if (split) {
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

// Reservoir sampling (Vitter's algorithm R) over the cells not computed, in
// map order, drawn from a Mersenne twister of fixed seed: the standard fixes
// its numbers, so the sample is the same wherever the map runs.
std::vector<std::vector<std::int64_t>> RefinePlan::Sample() {
  const std::int64_t inferred = rows_ * columns_ - computed_;
  const std::int64_t wanted = std::min(inferred, std::max<std::int64_t>(30, (inferred * 3 + 99) / 100));
  std::vector<std::int64_t> chosen;
  chosen.reserve(static_cast<std::size_t>(wanted));
  std::mt19937_64 random(20240611);
  std::int64_t seen = 0;
  for (std::int64_t cell = 0; cell < rows_ * columns_; ++cell) {
    if (source_[cell] == cell) continue;
    if (seen < wanted) {
      chosen.push_back(cell);
    } else if (const auto k = static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(seen + 1)); k < wanted) {
      chosen[static_cast<std::size_t>(k)] = cell;
    }
    ++seen;
  }
  std::sort(chosen.begin(), chosen.end());
  std::vector<std::vector<std::int64_t>> batch(static_cast<std::size_t>(rows_));
  for (std::int64_t cell : chosen) batch[cell / columns_].push_back(cell % columns_);
  sampling_ = true;
  sampled_ = static_cast<std::int64_t>(chosen.size());
  return batch;
}

SampledError WilsonInterval(std::int64_t successes, std::int64_t trials) {
  SampledError e{trials, successes, 0, 1};
  if (trials <= 0) return e;
  // Wilson (1927): the p whose normal test at 95 % (z = 1.96) would just
  // accept the observed fraction.
  const double z = 1.959963984540054, n = static_cast<double>(trials);
  const double p = static_cast<double>(successes) / n;
  const double shrink = 1 + z * z / n;
  const double centre = (p + z * z / (2 * n)) / shrink;
  const double half = z / shrink * std::sqrt(p * (1 - p) / n + z * z / (4 * n * n));
  e.low = successes == 0 ? 0 : std::max(0.0, centre - half);
  e.high = successes == trials ? 1 : std::min(1.0, centre + half);
  return e;
}

namespace {

// A per cent to a tenth, with a point whatever the locale.
std::string Tenths(double percent) {
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, percent, std::chars_format::fixed, 1).ptr);
}

}  // namespace

std::string SampledErrorText(const SampledError& error) {
  if (error.sampled == 0) return "none inferred";
  const double fraction = static_cast<double>(error.differing) / static_cast<double>(error.sampled);
  return "sampled error " + Tenths(100 * fraction) + " % [" + Tenths(std::floor(error.low * 1000) / 10) +
         ", " + Tenths(std::ceil(error.high * 1000) / 10) + "]";
}

std::string RefinedWords(std::int64_t computed, std::int64_t cells, const SampledError& error) {
  return "refined: " + Tenths(100.0 * static_cast<double>(computed) / static_cast<double>(cells)) +
         " % computed, " + SampledErrorText(error);
}

}  // namespace lab
