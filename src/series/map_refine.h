// Adaptive refinement of a map: start on a coarse grid, then halve the
// spacing only where neighbouring cells differ in their outcome, down to the
// fine grid. A cell never computed takes the value of the computed cell whose
// block it lay in when the block was last found uniform (its coarse parent).
//
// While the spacing is wider than 4 cells, a block is split when its corner
// differs from the corner of any of its eight neighbouring blocks: wide
// enough to catch a band that only one coarse cell fell into. Below that a
// new cell is computed only when the corners it lies between differ. Last,
// the rims are traced: a cell not computed whose computed neighbour (left,
// right, above, below) has another outcome is computed, until none is left.
#pragma once

#include <cstdint>
#include <initializer_list>
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

 private:
  std::int64_t Cell(std::int64_t row, std::int64_t column) const { return row * columns_ + column; }
  bool Mixed(std::int64_t row, std::int64_t column) const;
  bool Between(std::int64_t row, std::int64_t column, bool block_mixed,
               std::initializer_list<std::pair<std::int64_t, std::int64_t>> corners) const;
  std::vector<std::vector<std::int64_t>> Subdivide();
  std::vector<std::vector<std::int64_t>> TraceRims();

  std::int64_t rows_, columns_, stride_;
  bool started_ = false;
  std::vector<std::int64_t> source_;  // -1: not yet known
  std::vector<int> outcome_;
  std::int64_t computed_ = 0;
};

}  // namespace lab
