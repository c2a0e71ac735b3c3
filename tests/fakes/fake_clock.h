#pragma once

#include <string>

#include "platform/clock.h"

namespace meterstation::testing {

class FakeClock : public Clock {
 public:
  std::string date = "12-08-2026";
  std::string time = "06:19:16";
  int reads = 0;

  std::string dateText() override {
    ++reads;
    return date;
  }
  std::string timeText() override {
    ++reads;
    return time;
  }
};

}  // namespace meterstation::testing
