// The tests of a series on one thread, several at a time in the SIMD lanes of
// the core (simulation/lane_step.h). When a test ends, its lane takes the
// next test, so the lanes stay busy although tests differ in length by far.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "state/sim_state.h"
#include "port/display_port.h"
#include "simulation/lane_step.h"

namespace lab {

// A test for a lane: the state as the series has it before the test's set-up,
// and the port that takes its results. Both stay put until the test is done.
struct LaneTest {
  SimState* s = nullptr;
  DisplayPort* port = nullptr;
};

// The next test for lane `slot`: fills in *test and returns true, or false
// when there is none. With wait false other lanes have tests running, and a
// test that cannot be had at once (a bound on how far the runner may run
// ahead of the output) must be answered with false, not waited for: the
// lanes are asked again after their next steps. With wait true no lane runs,
// and false means the series has no more tests.
using LaneNext = std::function<bool(int slot, LaneTest* test, bool wait)>;

// Runs tests in the lanes of `shape` (ShapeSupported) until next has none
// left. done(slot) follows the end of the slot's test, which has then made
// every report RunOneTest makes. running_steps, when given, now and then
// receives the steps taken so far by the running tests.
//
// The port sees every call of the run loop's display steps, test starts and
// ends, in the same order for each test; the yield at the end of a step that
// only moves the bodies is left out. That suits the batch runner's port,
// which acts only in display steps, not a user at the windows.
void RunTestsInLanes(LaneShape shape, const LaneNext& next, const std::function<void(int slot)>& done,
                     std::atomic<std::int64_t>* running_steps);

}  // namespace lab
