// The encounter laboratory as a library: close encounters of three bodies in
// a plane, a series of start angles at a time (RunSeries), or a map over
// the start angle and one more parameter (RunMap), or one test followed
// from inside (RunTrajectory).
#pragma once

#include "encounter/columns.h"
#include "encounter/end.h"
#include "encounter/errors.h"
#include "encounter/map.h"
#include "encounter/merge.h"
#include "encounter/options.h"
#include "encounter/presets.h"
#include "encounter/scenario.h"
#include "encounter/series.h"
#include "encounter/units.h"
#include "encounter/trajectory.h"
#include "encounter/version.h"
