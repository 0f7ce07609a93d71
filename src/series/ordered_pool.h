// Work done on several threads and handed back in the order it was taken:
// the one pool under a series and a map. Workers take jobs from a source in
// order (the source runs under the pool's lock, so each job may be built
// from the one before); no more than a bound of jobs may be taken ahead of
// the one the calling thread waits for, so that a slow reader of the results
// holds the workers back; a stop, or the caller leaving, ends the taking.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "series/stop.h"

namespace lab {

// A thread the run needs could not be started (too many threads for the
// memory or the process limits): the message says how many were asked for.
struct ThreadsUnavailable : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The message of a run that could not start `count` threads.
ThreadsUnavailable CannotStart(int count, const std::system_error& e);

// Threads for a run asked for `jobs` (0: one per core).
int ThreadsOfJobs(int jobs);
// Workers worth starting for `items` jobs of which each worker holds up to
// `per_worker` at a time: never more than have work.
int WorkersFor(int threads, std::int64_t items, int per_worker);

template <class Job, class Outcome>
class OrderedPool {
 public:
  struct Taken {
    std::int64_t seq = 0;  // the job's place in the order
    Job job;
  };
  using Next = std::function<std::optional<Job>()>;

  // next: the following job, or none when there are no more.
  OrderedPool(int workers, std::int64_t ahead, const RunStop& stop, Next next)
      : workers_(workers), ahead_(ahead), outer_(stop), next_(std::move(next)),
        stop_([this] { return left_ || outer_.Requested(); }) {}

  // Asked by the jobs as they run: the caller's stop, or the caller gone.
  const RunStop& stop() const { return stop_; }

  // On a worker: the next job. None when the source has no more, a stop was
  // asked, or (wait false) the bound on running ahead holds it back.
  std::optional<Taken> Take(bool wait) {
    {
      std::unique_lock lock(mutex_);
      while (in_flight_ >= ahead_ && !stop_.Requested()) {
        if (!wait) return std::nullopt;
        room_.wait_for(lock, std::chrono::milliseconds(100));
      }
      if (stop_.Requested()) return std::nullopt;
      ++in_flight_;
    }
    std::lock_guard source(source_mutex_);
    std::optional<Job> job = exhausted_ ? std::nullopt : next_();
    if (!job) {
      exhausted_ = true;
      std::lock_guard lock(mutex_);
      --in_flight_;
      return std::nullopt;
    }
    return Taken{seq_++, std::move(*job)};
  }

  // On a worker: the outcome of the job taken as seq.
  void Done(std::int64_t seq, Outcome outcome) {
    std::lock_guard lock(mutex_);
    outcomes_.emplace(seq, std::move(outcome));
    arrived_.notify_all();
  }

  // Starts the workers, each running work(worker) until Take has nothing
  // more, hands each outcome to deliver in order on this thread, and joins
  // every worker however this is left. Throws ThreadsUnavailable when a
  // worker cannot be started (after ending those that were).
  void Run(const std::function<void(int worker)>& work,
           const std::function<void(Outcome&)>& deliver) {
    Joiner joiner{*this};
    running_ = workers_;
    threads_.reserve(static_cast<std::size_t>(workers_));
    try {
      for (int w = 0; w < workers_; ++w) threads_.emplace_back([this, &work, w] { Work(work, w); });
    } catch (const std::system_error& e) {
      throw CannotStart(workers_, e);
    }
    for (std::int64_t seq = 0;; ++seq) {
      Outcome o;
      {
        std::unique_lock lock(mutex_);
        arrived_.wait(lock, [&] { return outcomes_.count(seq) || running_ == 0 || failure_; });
        if (failure_) std::rethrow_exception(failure_);
        const auto it = outcomes_.find(seq);
        if (it == outcomes_.end()) break;
        o = std::move(it->second);
        outcomes_.erase(it);
        --in_flight_;
      }
      room_.notify_all();
      deliver(o);
    }
  }

 private:
  void Work(const std::function<void(int)>& work, int worker) {
    try {
      work(worker);
    } catch (const Interrupted&) {
    } catch (...) {  // no memory left, say: the others stop, Run throws it
      std::lock_guard lock(mutex_);
      if (!failure_) failure_ = std::current_exception();
      left_ = true;
    }
    std::lock_guard lock(mutex_);
    --running_;
    arrived_.notify_all();
  }

  // However Run is left, the workers stop taking jobs and are joined; the
  // ones never started do not count.
  struct Joiner {
    OrderedPool& pool;
    ~Joiner() {
      {
        std::lock_guard lock(pool.mutex_);
        pool.left_ = true;
      }
      pool.room_.notify_all();
      for (auto& t : pool.threads_) t.join();
    }
  };

  const int workers_;
  const std::int64_t ahead_;
  const RunStop& outer_;
  Next next_;
  std::mutex mutex_, source_mutex_;
  std::condition_variable arrived_, room_;
  std::map<std::int64_t, Outcome> outcomes_;  // by seq, waiting to be handed out
  std::int64_t in_flight_ = 0;  // taken, not yet handed out
  std::int64_t seq_ = 0;
  int running_ = 0;
  bool exhausted_ = false;
  std::exception_ptr failure_;  // the first a worker threw
  std::atomic<bool> left_{false};
  RunStop stop_;
  std::vector<std::thread> threads_;
};

}  // namespace lab
