#pragma once

#include <ctime>
#include <string>

#include "platform/clock.h"

namespace meterstation {

// Date and time in the machine's local zone, as the station writes them
// into its records.
class LocalClock : public Clock {
 public:
  LocalMoment now() override;
  LocalMoment momentAt(Instant at) override;
};

// The local date of the moment, mm-dd-yyyy.
std::string localDateText(std::time_t moment);
// The local time of the moment on the 24-hour clock, hh:mm:ss.
std::string localTimeText(std::time_t moment);
// Both, from one conversion of the moment.
LocalMoment localMoment(std::time_t moment);

}  // namespace meterstation
