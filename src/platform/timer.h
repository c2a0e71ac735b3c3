#pragma once

#include "platform/instant.h"

namespace meterstation {

// The quiet-period timer, one-shot in use: the tick is delivered by calling
// Timer1_Timer, which disables it. Assigning the interval restarts the
// countdown from the full interval; an interval of 0 never fires.
class Timer {
 public:
  virtual ~Timer() = default;

  virtual void setInterval(int milliseconds) = 0;
  virtual int interval() const = 0;
  // Enabling a running timer leaves its countdown as it is.
  virtual void setEnabled(bool enabled) = 0;
  virtual bool enabled() const = 0;
  // When the countdown that ticked last ran out: the tick itself may come
  // later, when the event thread was busy.
  virtual Instant dueAt() const = 0;
};

}  // namespace meterstation
