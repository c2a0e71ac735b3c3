#pragma once

#include <unistd.h>

#include <string>

namespace meterstation::testsupport {

// The serial port library locks a device with "LCK..<path, / as _>" in the
// system's lock directory (or /tmp where that cannot be written); a
// station killed by a test leaves its lock there. Called once every
// station on the device has ended.
inline void removeSerialLock(const std::string& device) {
  std::string name = "LCK..";
  for (const char c : device) name += c == '/' ? '_' : c;
  for (const char* dir : {"/var/lock/", "/run/lock/", "/tmp/"}) ::unlink((dir + name).c_str());
}

}  // namespace meterstation::testsupport
