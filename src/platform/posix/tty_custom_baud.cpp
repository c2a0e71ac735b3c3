// Apart from tty_line.cpp: the kernel's termios2 and the C library's
// termios are two definitions of the same structure and cannot meet.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/tty_line.h"

namespace meterstation {

Result setCustomBaud(int fd, int baud) {
  struct termios2 line {};
  if (::ioctl(fd, TCGETS2, &line) != 0) return Result::failure(std::strerror(errno));
  line.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  line.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  line.c_ispeed = static_cast<speed_t>(baud);
  line.c_ospeed = static_cast<speed_t>(baud);
  if (::ioctl(fd, TCSETS2, &line) != 0) return Result::failure(std::strerror(errno));
  return Result::success();
}

}  // namespace meterstation
