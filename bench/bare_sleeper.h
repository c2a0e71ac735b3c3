#pragma once

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace meterstation::bench {

// A thread of the ordinary priority that does nothing but sleep the
// interval to an absolute deadline, again and again, and note how late it
// wakes: what the host gives any timer, next to what the station's gets.
class BareSleeper {
 public:
  explicit BareSleeper(int intervalMs);
  ~BareSleeper();
  BareSleeper(const BareSleeper&) = delete;
  BareSleeper& operator=(const BareSleeper&) = delete;

  // Stops the thread, which may first finish its current sleep, and gives
  // each wake-up's lateness in milliseconds.
  std::vector<double> stop();

 private:
  void run();

  std::chrono::nanoseconds interval_;
  std::atomic<bool> stopping_{false};
  std::vector<double> lateness_;
  std::thread thread_;
};

}  // namespace meterstation::bench
