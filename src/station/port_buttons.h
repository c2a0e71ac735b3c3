#pragma once

#include "platform/station_events.h"

namespace meterstation {

// Presses the button of port 1 to 4, as the operator would: whoever chooses
// a port by its number (a resumed run, a test) goes through the same
// handlers as a click. Any other number presses the fourth.
inline void clickPortButton(StationEvents& events, int port) {
  switch (port) {
    case 1:
      events.Command1_Click();
      break;
    case 2:
      events.Command2_Click();
      break;
    case 3:
      events.Command3_Click();
      break;
    default:
      events.Command4_Click();
      break;
  }
}

}  // namespace meterstation
