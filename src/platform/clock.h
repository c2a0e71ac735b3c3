#pragma once

#include <string>

namespace meterstation {

class Clock {
 public:
  virtual ~Clock() = default;

  // Local date, mm-dd-yyyy.
  virtual std::string dateText() = 0;
  // Local time on the 24-hour clock, hh:mm:ss.
  virtual std::string timeText() = 0;
};

}  // namespace meterstation
