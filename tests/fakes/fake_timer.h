#pragma once

#include <chrono>
#include <cstdint>

#include "platform/timer.h"

namespace meterstation::testing {

// A countdown over virtual milliseconds: advance() moves time on and tells
// whether the countdown ran out.
class FakeTimer : public Timer {
 public:
  int intervalMs = 0;
  bool on = false;
  std::int64_t now = 0;
  std::int64_t startedAt = 0;
  int restarts = 0;

  void setInterval(int ms) override {
    intervalMs = ms;
    startedAt = now;
    ++restarts;
  }
  int interval() const override { return intervalMs; }
  void setEnabled(bool enable) override {
    if (enable && !on) startedAt = now;
    on = enable;
  }
  bool enabled() const override { return on; }
  // Virtual milliseconds count from the monotonic clock's epoch.
  Instant dueAt() const override {
    return Instant(std::chrono::milliseconds(startedAt + intervalMs));
  }

  bool armed() const { return on && intervalMs > 0; }
  // True when the countdown runs out within the next ms milliseconds; time
  // then stands at the moment it ran out.
  bool advance(std::int64_t ms) {
    if (armed() && startedAt + intervalMs <= now + ms) {
      now = startedAt + intervalMs;
      return true;
    }
    now += ms;
    return false;
  }
};

}  // namespace meterstation::testing
