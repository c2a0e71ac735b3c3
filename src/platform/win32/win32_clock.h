#pragma once

#include <windows.h>

#include "platform/clock.h"

namespace meterstation {

// Date and time in the machine's local zone, as the station writes them
// into its records.
class Win32Clock : public Clock {
 public:
  LocalMoment now() override;
  LocalMoment momentAt(Instant at) override;
};

// The texts of a local time: mm-dd-yyyy and hh:mm:ss on the 24-hour clock.
LocalMoment momentOf(const SYSTEMTIME& local);

}  // namespace meterstation
