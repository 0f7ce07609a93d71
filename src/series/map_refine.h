// Adaptive refinement of a map: start on a coarse grid, then halve the
// spacing only where neighbouring cells differ in their outcome, down to the
// fine grid. A cell never computed takes the value of the computed cell whose
// block it lay in when the block was last found uniform (its coarse parent).
//
// A block (the cells from one computed corner to the next, right and up)
// differs when its corners are not all alike. At every spacing each block
// that differs is split, and so is a margin of one block around it: its
// eight neighbouring blocks. A thin line the coarse grid stepped over along
// most of its length is then followed from the places it was hit, since the
// margin's new cells fall on its continuation. Last, the rims are traced: a
// cell not computed whose computed neighbour (left, right, above, below) has
// another outcome is computed, until none is left.
//
// What the rules still miss is measured, not assumed: a seeded random sample
// of the cells left to inference is computed too (Sample), and the fraction
// of them whose outcome differs from the inferred one, with its interval, is
// the map's sampled error.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace lab {

// The levels of refinement a grid of rows x columns cells can take: at most
// `levels`, and few enough that the coarse grid keeps at least two cells in
// each direction that has more than one (a coarse grid of a single cell would
// give its outcome to every cell without looking further).
int UsableRefineLevels(int rows, std::int64_t columns, int levels);

// The warning that the levels asked for were too many for the grid, naming
// the levels used instead; "" when they fit.
std::string RefineLevelsWarning(int rows, std::int64_t columns, int levels);

class RefinePlan {
 public:
  // A grid of rows x columns cells; the coarse grid takes every 2^L-th cell
  // in both directions, starting with cell (0, 0), where L is the usable
  // number of the levels asked for.
  RefinePlan(int rows, std::int64_t columns, int levels);

  // The cells to compute next, row by row (each row's columns ascending); the
  // outcome of every cell of the previous batch must have been Set. Empty
  // when the fine grid is reached.
  std::vector<std::vector<std::int64_t>> Next();
  // The outcome of a computed cell, as a small number: cells with equal
  // numbers count as alike.
  void Set(int row, std::int64_t column, int outcome);

  // The computed cell (row x columns + column) whose value a cell takes:
  // itself when it was computed. Valid once Next has returned nothing.
  std::int64_t Source(int row, std::int64_t column) const;
  std::int64_t computed() const { return computed_; }

  // Once Next has returned nothing: a random sample of the cells not
  // computed, fixed by the grid and the outcomes alone (the same for any
  // threads), of 3 % of them but at least 30 (all when fewer). Each must be
  // Set like the cells of Next; it then counts as computed, and counts as
  // differing when its outcome is not the one it would have taken.
  std::vector<std::vector<std::int64_t>> Sample();
  std::int64_t sampled() const { return sampled_; }
  std::int64_t sampled_differing() const { return sampled_differing_; }

 private:
  std::int64_t Cell(std::int64_t row, std::int64_t column) const { return row * columns_ + column; }
  bool NearDiffering(std::int64_t row, std::int64_t column) const;
  std::vector<std::vector<std::int64_t>> Subdivide();
  std::vector<std::vector<std::int64_t>> TraceRims();

  std::int64_t rows_, columns_, stride_;
  bool started_ = false, sampling_ = false;
  std::vector<std::int64_t> source_;  // -1: not yet known
  std::vector<int> outcome_;
  std::int64_t computed_ = 0, sampled_ = 0, sampled_differing_ = 0;
};

// The share of cells that refinement left to inference and whose outcome
// differs from the inferred one, as measured on a random sample.
struct SampledError {
  std::int64_t sampled = 0, differing = 0;
  double low = 0, high = 0;  // its 95 % interval, as fractions
};

// The 95 % interval of a fraction of which `successes` of `trials` were
// seen (Wilson's score interval, which stays inside [0, 1] and keeps a
// width above 0 when none or all were seen); [0, 1] for no trials.
SampledError WilsonInterval(std::int64_t successes, std::int64_t trials);

// "sampled error 0.6 % [0.1, 3.2]": the fraction of the sampled cells that
// differed, per cent to a tenth, its interval rounded outward to tenths;
// "none inferred" when no cell was left to inference.
std::string SampledErrorText(const SampledError& error);

// "refined: 25.0 % computed, sampled error 0.6 % [0.1, 3.2]": the share of
// the map's cells computed (to a tenth of a per cent), then the sampled
// error of the cells inferred.
std::string RefinedWords(std::int64_t computed, std::int64_t cells, const SampledError& error);

}  // namespace lab
