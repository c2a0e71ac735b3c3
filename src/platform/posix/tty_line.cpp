#include "platform/posix/tty_line.h"

#include <termios.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/posix/tty_device.h"

namespace meterstation {

namespace {

// The rates termios names; B0 (hang up) is no rate to open a line at.
speed_t standardRate(int baud) {
  static constexpr std::pair<int, speed_t> kRates[] = {
      {50, B50},           {75, B75},           {110, B110},         {134, B134},
      {150, B150},         {200, B200},         {300, B300},         {600, B600},
      {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
      {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
      {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
      {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
      {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
      {3500000, B3500000}, {4000000, B4000000},
  };
  for (const auto& [rate, constant] : kRates) {
    if (rate == baud) return constant;
  }
  return B0;
}

tcflag_t characterSize(int dataBits) {
  switch (dataBits) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

// Mark and space are the sticky parities: PARODD then picks which.
tcflag_t parityFlags(char letter) {
  switch (letter) {
    case 'E':
      return PARENB;
    case 'O':
      return PARENB | PARODD;
    case 'M':
      return PARENB | CMSPAR | PARODD;
    case 'S':
      return PARENB | CMSPAR;
    default:
      return 0;
  }
}

void makeRaw(termios& line, const LineSettings& settings) {
  ::cfmakeraw(&line);
  line.c_iflag &= ~(INPCK | IXOFF | IXANY);
  line.c_iflag |= IGNPAR;
  line.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  line.c_cflag |= CLOCAL | CREAD | characterSize(settings.dataBits) | parityFlags(settings.parity);
  if (stopBitsSent(settings.stopBits) == StopBits::Two) line.c_cflag |= CSTOPB;
  // A read returns as soon as one byte is there: nothing waits to gather
  // more, which would move the moment the bytes are stamped with.
  line.c_cc[VMIN] = 1;
  line.c_cc[VTIME] = 0;
}

}  // namespace

Result applyLineSettings(int fd, const LineSettings& settings) {
  termios line{};
  if (::tcgetattr(fd, &line) != 0) return Result::failure(std::strerror(errno));
  makeRaw(line, settings);
  const speed_t rate = standardRate(settings.baud);
  // A rate termios cannot name goes in through termios2 right after; no
  // byte is sent at the stand-in rate, since nothing is written yet.
  ::cfsetspeed(&line, rate == B0 ? B38400 : rate);
  if (::tcsetattr(fd, TCSANOW, &line) != 0) return Result::failure(std::strerror(errno));
  if (rate == B0) return setCustomBaud(fd, settings.baud);
  return Result::success();
}

}  // namespace meterstation
