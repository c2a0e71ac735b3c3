#pragma once

#include <string>

#include "platform/serial/line_settings.h"

namespace meterstation {

// The device that port N (1 to 4) names at this moment: the one in
// METERSTATION_COM<N> when that is set, else /dev/ttyS<N-1>. Read at every
// open, so that a port can be pointed elsewhere while the station runs.
std::string serialDeviceName(int port);

// What to add to the reason a device could not be opened: how to be let
// in, when this user may not use it; else nothing.
std::string openRefusalHint(const std::string& device);

// Whether the other end of an open terminal has hung up: a USB adapter
// unplugged, the far side of a pseudo-terminal closed. Reads nothing.
bool terminalHungUp(int fd);

// The stop bits a terminal sends for the ones asked: termios knows only
// "two", which a UART sends as one and a half with five data bits, and a
// receiver expecting one and a half takes two as well.
StopBits stopBitsSent(StopBits wanted);

}  // namespace meterstation
