#pragma once

#include <signal.h>

#include "platform/result.h"

namespace meterstation::sim {

// SIGINT, SIGTERM and SIGHUP are blocked everywhere except inside the one
// wait of the main loop, which unblocks them atomically. So a signal can
// only cut a wait short, never a write or a log line, and none is missed
// between checking for it and going to sleep.
class SignalWatch {
 public:
  Result install();
  // The mask to wait with.
  const sigset_t* waitMask() const { return &waitMask_; }
  // The signal caught, or 0.
  int caught() const;

 private:
  sigset_t waitMask_{};
};

}  // namespace meterstation::sim
