// The tests of a map's rows as one stream on the pool, and their outcomes taken
// back row by row.
#include "series/map_rows.h"

#include <atomic>
#include <limits>
#include <memory>

#include "control/headless_port.h"
#include "series/run_series.h"

namespace lab {

namespace {

using FailedAt = std::atomic<std::size_t>;  // the first row (of the plan) that failed

void LowerTo(FailedAt& failed_at, std::size_t k) {
  std::size_t now = failed_at.load();
  while (k < now && !failed_at.compare_exchange_weak(now, k)) {
  }
}

// Hands out the tests of the planned rows, one row after another, each row
// set up when its first test is taken. After a row that failed, no further
// row is begun. Runs under the pool's lock.
class RowTests {
 public:
  RowTests(const std::vector<RowPlan>& plan, const RowEvents& events,
           std::vector<std::string>& tdfacts, FailedAt& failed_at)
      : plan_(plan), events_(events), tdfacts_(tdfacts), failed_at_(failed_at) {}

  std::optional<TestJob> Next() {
    while (k_ < plan_.size() && k_ <= failed_at_.load()) {
      if (!tests_) {
        RowStart start = events_.start(plan_[k_].row);
        tdfacts_[k_] = start.tdfact;
        if (!start.refusal.empty()) {
          LowerTo(failed_at_, k_);
          const int k = static_cast<int>(k_++);
          return TestJob{k, 0, std::move(start.s), std::move(start.refusal)};
        }
        if (start.ended) {
          ++k_;
          continue;
        }
        tests_ = std::make_unique<SeriesTests>(start.s, plan_[k_].choice, kHeadlessTrajectorySize,
                                               static_cast<int>(k_));
      }
      if (auto job = tests_->Next()) {
        if (!job->refusal.empty()) LowerTo(failed_at_, k_);
        return job;
      }
      tests_.reset();
      ++k_;
    }
    return std::nullopt;
  }

 private:
  const std::vector<RowPlan>& plan_;
  const RowEvents& events_;
  std::vector<std::string>& tdfacts_;
  FailedAt& failed_at_;
  std::size_t k_ = 0;
  std::unique_ptr<SeriesTests> tests_;
};

// Takes the outcomes in map order: the rows' judges, the first failing
// row's messages.
class RowOutcomes {
 public:
  RowOutcomes(const std::vector<RowPlan>& plan, const RowEvents& events, const RunStop& stop,
              const std::vector<std::string>& tdfacts, FailedAt& failed_at)
      : plan_(plan), events_(events), stop_(stop), tdfacts_(tdfacts), failed_at_(failed_at) {}

  void Take(TestOutcome& o) {
    const std::size_t k = static_cast<std::size_t>(o.row);
    if (k > failed_at_.load() || stop_.Requested()) return;
    if (!judge_ || k != k_) {
      EndRow();
      k_ = k;
      judge_.emplace(events_.crosscheck);
    }
    if (!o.messages.empty()) {
      LowerTo(failed_at_, k);
      messages_.insert(messages_.end(), o.messages.begin(), o.messages.end());
    }
    if (!o.result) return;
    const int row = plan_[k].row;
    if (const std::string w = judge_->Take(*o.result, tdfacts_[k]); !w.empty() && events_.warning)
      events_.warning(row, w);
    const TestRow& t = *o.result;
    if (const std::string c = SpeedCaveat(t.row1[0], t.v, t.massive); !c.empty() && events_.caveat)
      events_.caveat(row, c);
    if (events_.test) events_.test(row, o.test, *o.result);
  }

  // After the last outcome: throws for a failed row.
  void Finish() {
    if (stop_.Requested()) return;
    if (messages_.empty()) {
      EndRow();
      return;
    }
    std::string text;
    for (const std::string& m : messages_) text += (text.empty() ? "" : "\n") + m;
    throw RefusedInput(events_.label(plan_[k_].row) + ": " + text);
  }

 private:
  void EndRow() {
    if (judge_ && events_.row_end) events_.row_end(plan_[k_].row, judge_->tally());
  }

  const std::vector<RowPlan>& plan_;
  const RowEvents& events_;
  const RunStop& stop_;
  const std::vector<std::string>& tdfacts_;
  FailedAt& failed_at_;
  std::size_t k_ = 0;
  std::optional<RowJudge> judge_;
  std::vector<std::string> messages_;
};

}  // namespace

bool RunRows(const std::vector<RowPlan>& plan, const ParallelSettings& settings,
             const RowEvents& events) {
  static const RunStop kNever;
  const RunStop& stop = settings.stop ? *settings.stop : kNever;
  FailedAt failed_at{std::numeric_limits<std::size_t>::max()};
  std::vector<std::string> tdfacts(plan.size());
  RowTests tests(plan, events, tdfacts, failed_at);
  RowOutcomes outcomes(plan, events, stop, tdfacts, failed_at);
  RunTestsInParallel(settings, [&tests] { return tests.Next(); },
                     [&outcomes](TestOutcome& o) { outcomes.Take(o); });
  outcomes.Finish();
  return !stop.Requested();
}

}  // namespace lab
