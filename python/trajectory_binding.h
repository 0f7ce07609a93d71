// encounter._encounter.Trajectory and start_states: one test of the public
// C++ API (encounter/trajectory.h) followed on the engine's thread, its
// points gathered into NumPy columns.
#pragma once

#include <pybind11/pybind11.h>

namespace lab {

void BindTrajectory(pybind11::module_& m);

}  // namespace lab
