// encounter._encounter.Map: a map of the public C++ API (encounter/map.h),
// run on the engine's thread like a series, its cells gathered into columns.
#pragma once

#include <pybind11/pybind11.h>

namespace lab {

void BindMap(pybind11::module_& m);

}  // namespace lab
