// The encounter laboratory as a library: close encounters of three bodies in
// a plane, a series of start angles at a time. Start with RunSeries.
#pragma once

#include "encounter/errors.h"
#include "encounter/presets.h"
#include "encounter/scenario.h"
#include "encounter/series.h"
#include "encounter/version.h"
