#include "processor-sim/pty_link.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace meterstation::sim {

namespace {

Result systemFailure(const std::string& what) {
  return Result::failure(what + ": " + std::strerror(errno));
}

}  // namespace

Result PtyLink::open() {
  close();
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) return systemFailure("cannot open a pseudo-terminal");
  char path[128];
  if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, path, sizeof path) != 0) {
    const Result failure = systemFailure("cannot unlock the pseudo-terminal");
    ::close(master);
    return failure;
  }
  fcntl(master, F_SETFD, FD_CLOEXEC);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

  // Opening the slave once ourselves does two things: the raw settings made
  // here stay with the terminal, so not even the station's first bytes get
  // echoed or turned from CR into LF; and after this close the master
  // reports a hang-up until the station opens it, which a terminal whose
  // slave was never opened does not do.
  const int slave = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) {
    const Result failure = systemFailure(std::string("cannot open ") + path);
    ::close(master);
    return failure;
  }
  termios settings{};
  Result result = Result::success();
  if (tcgetattr(slave, &settings) == 0) {
    cfmakeraw(&settings);
    cfsetispeed(&settings, B300);
    cfsetospeed(&settings, B300);
    if (tcsetattr(slave, TCSANOW, &settings) != 0)
      result = systemFailure(std::string("cannot set ") + path + " raw");
  } else {
    result = systemFailure(std::string("cannot read the settings of ") + path);
  }
  ::close(slave);
  if (!result) {
    ::close(master);
    return result;
  }
  master_ = master;
  slavePath_ = path;
  return result;
}

void PtyLink::close() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

bool PtyLink::farEndOpen() {
  if (master_ < 0) return false;
  pollfd probe{master_, 0, 0};
  if (poll(&probe, 1, 0) < 0) return false;
  return (probe.revents & POLLHUP) == 0;
}

void PtyLink::dropUnread() {
  if (master_ >= 0) tcflush(master_, TCIOFLUSH);
}

}  // namespace meterstation::sim
