#pragma once

#include <functional>

#include "platform/instant.h"

namespace meterstation {

// What the serial link needs of the event loop it runs on. Every call it is
// given runs on the event thread, one at a time, as a handler does; calls
// still waiting are dropped with the scheduler.
class LinkScheduler {
 public:
  virtual ~LinkScheduler() = default;

  // Runs the call once the handler running now has returned.
  virtual void post(std::function<void()> call) = 0;
  // Calls tick every periodMs until stopped; starting again replaces it.
  virtual void startRepeating(int periodMs, std::function<void()> tick) = 0;
  virtual void stopRepeating() = 0;
  // Calls expired once, ms from now, unless stopped or started again first.
  virtual void startDeadline(int ms, std::function<void()> expired) = 0;
  virtual void stopDeadline() = 0;
  // The monotonic clock the arrivals are stamped on, and a call at a moment
  // on it (at once when the moment is past), unless stopped or started
  // again first. Never early; late by whatever the event thread is busy with.
  virtual Instant now() const = 0;
  virtual void startAt(Instant at, std::function<void()> due) = 0;
  virtual void stopAt() = 0;
};

}  // namespace meterstation
