#include "bench/bare_sleeper.h"

#include <time.h>

#include <cerrno>

namespace meterstation::bench {

namespace {

timespec asTimespec(std::chrono::nanoseconds t) {
  return {static_cast<time_t>(t.count() / 1'000'000'000),
          static_cast<long>(t.count() % 1'000'000'000)};
}

std::chrono::nanoseconds monotonicNow() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

}  // namespace

BareSleeper::BareSleeper(int intervalMs)
    : interval_(std::chrono::milliseconds(intervalMs)), thread_([this] { run(); }) {}

BareSleeper::~BareSleeper() { stop(); }

std::vector<double> BareSleeper::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  return lateness_;
}

void BareSleeper::run() {
  // Half an interval out of step with the start, so that its wake-ups seldom
  // fall on the station's ticks.
  std::chrono::nanoseconds deadline = monotonicNow() + interval_ / 2;
  while (!stopping_) {
    deadline += interval_;
    const timespec until = asTimespec(deadline);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
    const std::chrono::nanoseconds late = monotonicNow() - deadline;
    lateness_.push_back(static_cast<double>(late.count()) / 1e6);
  }
}

}  // namespace meterstation::bench
