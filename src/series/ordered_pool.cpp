// The thread-count rule of series and maps, and the message of threads that
// could not be started.
#include "series/ordered_pool.h"

#include <algorithm>

namespace lab {

ThreadsUnavailable CannotStart(int count, const std::system_error& e) {
  return ThreadsUnavailable("cannot start " + std::to_string(count) +
                            (count == 1 ? " thread: " : " threads: ") + e.code().message());
}

int ThreadsOfJobs(int jobs) {
  return jobs > 0 ? jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

int WorkersFor(int threads, std::int64_t items, int per_worker) {
  const std::int64_t useful = (items + per_worker - 1) / std::max(per_worker, 1);
  return static_cast<int>(std::clamp<std::int64_t>(useful, 1, std::max(threads, 1)));
}

}  // namespace lab
