#pragma once

#include "platform/result.h"
#include "platform/serial/line_settings.h"

namespace meterstation {

// Puts an open terminal in raw mode with these line settings: every byte
// passes as it came (no echo, no line editing, no signals, no translation,
// no parity check: the readings judge their own bytes), no flow control,
// and the modem lines are not waited for.
Result applyLineSettings(int fd, const LineSettings& settings);

// A rate termios has no constant for, set the way Linux takes any rate.
Result setCustomBaud(int fd, int baud);

}  // namespace meterstation
