#pragma once

#include <string>

#include "platform/instant.h"

namespace meterstation {

// One reading of the local clock, both texts from the same second.
struct LocalMoment {
  std::string date;  // mm-dd-yyyy
  std::string time;  // hh:mm:ss on the 24-hour clock
};

class Clock {
 public:
  virtual ~Clock() = default;

  virtual LocalMoment now() = 0;
  // The local date and time at a monotonic moment, usually one just past:
  // a reading is stamped with the end of its quiet period, however late
  // the station got to it.
  virtual LocalMoment momentAt(Instant at) = 0;
};

}  // namespace meterstation
