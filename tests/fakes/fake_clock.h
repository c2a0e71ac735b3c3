#pragma once

#include <functional>
#include <string>

#include "platform/clock.h"

namespace meterstation::testing {

// A clock that says what the test sets. With `at` set, a monotonic moment
// is turned into local texts by it; else every moment is date and time.
class FakeClock : public Clock {
 public:
  std::string date = "12-08-2026";
  std::string time = "06:19:16";
  std::function<LocalMoment(Instant)> at;
  int reads = 0;

  LocalMoment now() override {
    ++reads;
    return {date, time};
  }
  LocalMoment momentAt(Instant moment) override {
    ++reads;
    return at ? at(moment) : LocalMoment{date, time};
  }
};

}  // namespace meterstation::testing
