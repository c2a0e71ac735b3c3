#pragma once

namespace meterstation::testsupport {

// The line the processor talks on, in a serial port's settings text. The
// tests spell it on their own rather than take the station's constant, so
// that a change to the station's is caught.
inline constexpr const char* kProcessorLineSettings = "300,N,8,1";

}  // namespace meterstation::testsupport
