#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/serial_port.h"
#include "support/silent_station_events.h"

namespace meterstation::testing {

// Records what each notification of a port reported, as the station would
// read it; the station's other handlers do nothing.
class CommLog : public testsupport::SilentStationEvents {
 public:
  explicit CommLog(SerialPort& port) : port_(port) {}
  int count(CommEvent kind) const {
    return static_cast<int>(std::count(kinds.begin(), kinds.end(), kind));
  }

  void MSComm1_OnComm() override {
    kinds.push_back(port_.commEvent());
    texts.push_back(port_.commEventText());
    retryMs.push_back(port_.commEventRetryMs());
  }

  std::vector<CommEvent> kinds;
  std::vector<std::string> texts;
  std::vector<int> retryMs;

 private:
  SerialPort& port_;
};

}  // namespace meterstation::testing
