#pragma once

#include <chrono>

namespace meterstation {

// A moment on the machine's monotonic clock: arrivals of bytes and the ends
// of quiet periods are measured on it, never on the wall clock, which an
// operator or the network may set back or forward.
using Instant = std::chrono::steady_clock::time_point;

}  // namespace meterstation
