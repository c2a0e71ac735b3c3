#include "processor-sim/signal_watch.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace meterstation::sim {

namespace {

volatile sig_atomic_t caughtSignal = 0;

extern "C" void onSignal(int number) { caughtSignal = number; }

}  // namespace

Result SignalWatch::install() {
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGINT);
  sigaddset(&blocked, SIGTERM);
  sigaddset(&blocked, SIGHUP);
  if (sigprocmask(SIG_BLOCK, &blocked, &waitMask_) != 0)
    return Result::failure(std::string("cannot block signals: ") + std::strerror(errno));
  sigdelset(&waitMask_, SIGINT);
  sigdelset(&waitMask_, SIGTERM);
  sigdelset(&waitMask_, SIGHUP);

  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
    if (sigaction(number, &action, nullptr) != 0)
      return Result::failure(std::string("cannot catch signals: ") + std::strerror(errno));
  }
  // A write to a vanished reader must come back as an error, not end us.
  signal(SIGPIPE, SIG_IGN);
  return Result::success();
}

int SignalWatch::caught() const { return caughtSignal; }

}  // namespace meterstation::sim
