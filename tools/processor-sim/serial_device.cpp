#include "processor-sim/serial_device.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace meterstation::sim {

Result SerialDevice::open() {
  close();
  const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Result::failure("cannot open " + path_ + ": " + std::strerror(errno));
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) {
    const Result failure =
        Result::failure(path_ + " is not a serial device: " + std::strerror(errno));
    ::close(fd);
    return failure;
  }
  cfmakeraw(&settings);
  cfsetispeed(&settings, B300);
  cfsetospeed(&settings, B300);
  settings.c_cflag &= ~static_cast<tcflag_t>(PARENB | CSTOPB | CSIZE | CRTSCTS);
  // CLOCAL: a processor without modem lines must not look like a hang-up.
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSANOW, &settings) != 0) {
    const Result failure =
        Result::failure("cannot set " + path_ + " to 300,N,8,1: " + std::strerror(errno));
    ::close(fd);
    return failure;
  }
  tcflush(fd, TCIOFLUSH);
  fd_ = fd;
  return Result::success();
}

void SerialDevice::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace meterstation::sim
