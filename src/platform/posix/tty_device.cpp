#include "platform/posix/tty_device.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace meterstation {

std::string serialDeviceName(int port) {
  const std::string variable = "METERSTATION_COM" + std::to_string(port);
  const char* device = std::getenv(variable.c_str());
  if (device != nullptr && *device != '\0') return device;
  return "/dev/ttyS" + std::to_string(port - 1);
}

std::string openRefusalHint(const std::string& device) {
  if (::access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
    return "; add the user to the dialout group";
  }
  return std::string();
}

bool terminalHungUp(int fd) {
  pollfd probe{fd, POLLIN, 0};
  int ready = 0;
  do {
    ready = ::poll(&probe, 1, 0);
  } while (ready < 0 && errno == EINTR);
  return ready > 0 && (probe.revents & POLLHUP) != 0;
}

StopBits stopBitsSent(StopBits wanted) {
  return wanted == StopBits::OneAndHalf ? StopBits::Two : wanted;
}

}  // namespace meterstation
