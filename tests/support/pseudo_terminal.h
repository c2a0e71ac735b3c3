#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "support/wait_until.h"

namespace meterstation::testsupport {

// The processor's end of a line: the master of a pseudo-terminal, whose
// other end the station opens by its name. pause runs between the attempts
// of a send or a receive that has to wait, e.g. a turn of the event loop.
class PseudoTerminal {
 public:
  explicit PseudoTerminal(std::function<void()> pause =
                              [] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); })
      : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK)), pause_(std::move(pause)) {
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
      slaveName_ = ::ptsname(master_);
    }
  }
  ~PseudoTerminal() { hangUp(); }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  int master() const { return master_; }
  // Empty when no pseudo-terminal could be made.
  const std::string& slaveName() const { return slaveName_; }
  void hangUp() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  bool send(const std::string& bytes) {
    std::size_t done = 0;
    return waitUntil(
               [&] {
                 const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
                 if (n > 0) done += static_cast<std::size_t>(n);
                 return done == bytes.size() || (n < 0 && errno != EAGAIN);
               },
               kPatience, pause_) &&
           done == bytes.size();
  }

  // What came, once count bytes did or patience ran out.
  std::string receive(std::size_t count) {
    std::string got;
    waitUntil(
        [&] {
          char buffer[4096];
          const ssize_t n = ::read(master_, buffer, sizeof buffer);
          if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
          return got.size() >= count;
        },
        kPatience, pause_);
    return got;
  }

  // Reads without pausing, for a thread of its own, until count bytes came
  // or stop is set.
  std::string receiveUntil(std::size_t count, const std::atomic<bool>& stop) {
    std::string got;
    while (got.size() < count && !stop) {
      pollfd readable{master_, POLLIN, 0};
      if (::poll(&readable, 1, 20) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }

 private:
  static constexpr std::chrono::seconds kPatience{5};

  int master_;
  std::string slaveName_;
  std::function<void()> pause_;
};

}  // namespace meterstation::testsupport
