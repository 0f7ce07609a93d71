#include "app/batch/progress.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lab {

namespace {

std::string Printed(const char* format, auto... values) {
  char text[160];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

std::string Counted(std::int64_t n, const char* one, const char* many) {
  return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

std::string SignalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    case SIGPIPE: return "SIGPIPE";
    default: return "signal " + std::to_string(signal);
  }
}

}  // namespace

ProgressFace FaceOfStandardError(bool quiet, std::chrono::milliseconds every) {
  if (quiet) return ProgressFace::kNone;
  if (isatty(STDERR_FILENO)) return ProgressFace::kTerminal;
  return every.count() > 0 ? ProgressFace::kLog : ProgressFace::kNone;
}

ProgressLine::ProgressLine(const ProgressCounters& counters, std::int64_t total_tests,
                           ProgressFace face, std::chrono::milliseconds every, std::ostream& err)
    : counters_(counters),
      total_(total_tests),
      face_(face),
      every_(face == ProgressFace::kTerminal ? std::chrono::milliseconds(250) : every),
      err_(err),
      start_(std::chrono::steady_clock::now()) {
  if (face_ != ProgressFace::kNone && every_.count() > 0) thread_ = std::thread([this] { Loop(); });
}

ProgressLine::~ProgressLine() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  stop_cv_.notify_all();
  thread_.join();
  if (face_ != ProgressFace::kTerminal) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
}

void ProgressLine::Say(std::ostream& err, const std::string& line) {
  std::lock_guard lock(mutex_);
  if (thread_.joinable() && face_ == ProgressFace::kTerminal) {
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
  }
  err << line;
  err.flush();
}

void ProgressLine::Loop() {
  std::unique_lock lock(mutex_);
  while (!stop_cv_.wait_for(lock, every_, [this] { return stop_; })) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const std::int64_t done = counters_.tests_done.load(std::memory_order_relaxed);
    std::int64_t steps = counters_.steps_done.load(std::memory_order_relaxed);
    for (const auto& r : counters_.running) steps += r.load(std::memory_order_relaxed);
    if (face_ == ProgressFace::kLog) {
      err_ << "encounter-batch: " << ProgressLogText(done, total_, steps, seconds) << '\n';
      err_.flush();
      continue;
    }
    const double rate = seconds > 0 ? steps / seconds : 0;
    std::fprintf(stderr, "\r\033[Ktests %lld of %lld   %.1f million steps/s",
                 static_cast<long long>(done), static_cast<long long>(total_), rate / 1e6);
    if (done > 0 && done < total_) {
      const double left = seconds * static_cast<double>(total_ - done) / static_cast<double>(done);
      std::fprintf(stderr, "   about %.0f s left", left);
    }
    std::fflush(stderr);
  }
}

std::string DurationText(double seconds) {
  seconds = std::clamp(std::isnan(seconds) ? 0.0 : seconds, 0.0, 1e12);
  const double tenths = std::round(seconds * 10) / 10;
  if (tenths < 60) return Printed("%.1f s", tenths);
  const long long whole = std::llround(seconds);
  if (whole < 3600) return Printed("%lld min %lld s", whole / 60, whole % 60);
  const long long minutes = std::llround(seconds / 60);
  return Printed("%lld h %lld min", minutes / 60, minutes % 60);
}

std::string ProgressLogText(std::int64_t done, std::int64_t total, std::int64_t steps,
                            double seconds) {
  std::string text = std::to_string(done) + " of " + Counted(total, "test", "tests") + " after " +
                     DurationText(seconds) + ", " +
                     Printed("%.1f", seconds > 0 ? static_cast<double>(steps) / seconds / 1e6 : 0.0) +
                     " million steps/s";
  if (done > 0 && done < total) {
    const double left = seconds * static_cast<double>(total - done) / static_cast<double>(done);
    text += ", about " + DurationText(left) + " left";
  }
  return text;
}

std::string LastLineText(std::int64_t done, std::int64_t total, double seconds, int warnings,
                         int signal) {
  const std::string tail = " in " + DurationText(seconds) + ", " +
                           (warnings == 0 ? std::string("no warnings")
                                          : Counted(warnings, "warning", "warnings"));
  if (signal == 0) return Counted(done, "test", "tests") + tail;
  return std::string("stopped") + (signal > 0 ? " by " + SignalName(signal) : "") + " after " +
         std::to_string(done) + " of " + Counted(total, "test", "tests") + tail;
}

}  // namespace lab
