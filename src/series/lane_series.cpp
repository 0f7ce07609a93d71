#include "series/lane_series.h"

#include <memory>
#include <vector>

#include "simulation/lane_step.h"
#include "simulation/run_loop.h"

namespace lab {

namespace {

struct Slot {
  LaneTest test;
  RunningTest r;
};

class LaneRunner {
 public:
  LaneRunner(LaneShape shape, const LaneNext& next, const std::function<void(int)>& done)
      : shape_(shape), width_(shape.lanes()), next_(next), done_(done), slots_(width_) {}

  void Run(std::atomic<std::int64_t>* running_steps) {
    for (std::uint64_t round = 0; TakeTests(); ++round) {
      const LaneStop stop = AdvanceLanes(*block_, shape_, active_);
      unsigned stopped = stop.redo | stop.finish;
      // A lane's held display steps come before the step it stopped at.
      for (int k = 0; k < width_; ++k) {
        if (((stop.held >> k) & 1u) && !ShowHeld(k)) stopped &= ~(1u << k);
      }
      for (int k = 0; k < width_; ++k) {
        const unsigned bit = 1u << k;
        if (stopped & bit) GoOnScalar(k, (stop.redo & bit) != 0);
      }
      if (running_steps && (round & 31) == 0) {
        std::int64_t steps = 0;
        for (int k = 0; k < width_; ++k) {
          if (active_ & (1u << k)) steps += static_cast<std::int64_t>(block_->at.n[k]);
        }
        running_steps->store(steps, std::memory_order_relaxed);
      }
    }
  }

 private:
  bool Busy(int k) const { return (active_ >> k) & 1u; }

  // Idle lanes take tests; false when no lane has one left to run.
  bool TakeTests() {
    for (int k = 0; k < width_ && !exhausted_; ++k) {
      if (!Busy(k)) Fill(k);
    }
    return active_ != 0;
  }

  // The slot takes the next test. One that cannot start in a lane runs on
  // the run loop's path to its end. While other lanes run, the source of
  // tests is not asked to wait for one.
  void Fill(int k) {
    Slot& slot = slots_[k];
    while (!exhausted_) {
      const bool wait = active_ == 0;
      if (!next_(k, &slot.test, wait)) {
        exhausted_ = wait;
        break;
      }
      SimState& s = *slot.test.s;
      slot.r = RunningTest{};
      if (!SetUpTest(s, slot.r, *slot.test.port)) {
        done_(k);
        continue;
      }
      if (FitsLane(s)) {
        LoadLane(*block_, k, s, slot.r);
        active_ |= 1u << k;
        return;
      }
      RunToEnd(k, StepEnd::kGoingOn);
    }
    // An idle lane repeats a busy one, so that it computes nothing strange.
    for (int from = 0; from < width_; ++from) {
      if (Busy(from)) {
        CopyLane(*block_, from, k);
        break;
      }
    }
  }

  // The display steps lane k went past, shown in order from the states it
  // kept; true when the lane goes on. When a display ends the test (the step
  // limit, a value no longer finite), the test ends at that step, and the
  // lane's later displays and steps are dropped. A display that shows
  // nothing (no points drawn, the live results not due: most of a sweep's)
  // is only its yields; its state goes into the test's records only if the
  // test ends there.
  bool ShowHeld(int k) {
    Slot& slot = slots_[k];
    SimState& s = *slot.test.s;
    DisplayPort& port = *slot.test.port;
    const int held = static_cast<int>(block_->nheld[k]);
    for (int j = 0; j < held; ++j) {
      StoreHeldStep(*block_, j, k, s);
      StepEnd end;
      bool stored = false;
      if (YieldShowsNothing(s, slot.r, port) && HeldValuesFinite(*block_, j, k, s)) {
        end = EndStep(s, port);
      } else {
        end = FinishDisplay(s, slot.r, port, StoreHeld(*block_, j, k, s, slot.r));
        stored = true;
      }
      if (end == StepEnd::kGoingOn && FitsLane(s)) continue;
      if (!stored) StoreHeld(*block_, j, k, s, slot.r);
      active_ &= ~(1u << k);
      if (end == StepEnd::kGoingOn) StoreTables(block_->shown[j], k, slot.r.tables);
      RunToEnd(k, end);
      return false;
    }
    return true;
  }

  // The step the lane stopped at, done (whole, or its rest) by the run loop;
  // then the lane goes on with the test, or falls idle.
  void GoOnScalar(int k, bool whole) {
    Slot& slot = slots_[k];
    SimState& s = *slot.test.s;
    StoreLane(*block_, block_->at, k, s, slot.r);
    const StepEnd end =
        whole ? StepOnce(s, slot.r, *slot.test.port) : FinishStep(s, slot.r, *slot.test.port);
    if (end == StepEnd::kGoingOn && FitsLane(s)) {
      LoadLane(*block_, k, s, slot.r);
      return;
    }
    active_ &= ~(1u << k);
    RunToEnd(k, end);
  }

  // A test that has left the common case (an absorption, a massless body)
  // goes on along the run loop's path to its end.
  void RunToEnd(int k, StepEnd end) {
    Slot& slot = slots_[k];
    SimState& s = *slot.test.s;
    while (end == StepEnd::kGoingOn) end = StepOnce(s, slot.r, *slot.test.port);
    FinishTest(s, slot.r, *slot.test.port, end == StepEnd::kResults);
    done_(k);
  }

  LaneShape shape_;
  int width_;  // lanes in all
  const LaneNext& next_;
  const std::function<void(int)>& done_;
  std::vector<Slot> slots_;
  std::unique_ptr<LaneBlock> block_ = std::make_unique<LaneBlock>();
  unsigned active_ = 0;     // lanes with a test
  bool exhausted_ = false;  // the series has no test left to hand out
};

}  // namespace

void RunTestsInLanes(LaneShape shape, const LaneNext& next, const std::function<void(int)>& done,
                     std::atomic<std::int64_t>* running_steps) {
  LaneRunner(shape, next, done).Run(running_steps);
}

}  // namespace lab
