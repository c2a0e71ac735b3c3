#pragma once

#include <chrono>
#include <functional>
#include <utility>

#include "platform/instant.h"
#include "platform/station_events.h"
#include "platform/timer.h"

namespace meterstation {

// The station timer's rules over a one-shot timer of the event loop, the
// same on every system: assigning the interval restarts the countdown, an
// interval of 0 never fires, and a tick whose handler leaves the timer
// enabled starts the next countdown only once the handler has returned.
// A system's timer arms and disarms its one shot and calls tick() when it
// fires.
class CountdownTimer : public Timer {
 public:
  // Ticks go nowhere until the timer is bound to the station. The station
  // has more than one timer; each is bound to its own handler.
  void bind(StationEvents& events,
            void (StationEvents::*handler)() = &StationEvents::Timer1_Timer) {
    tick_ = [&events, handler] { (events.*handler)(); };
  }
  // A tick that goes elsewhere than to the window's handlers.
  void bindTick(std::function<void()> tick) { tick_ = std::move(tick); }

  void setInterval(int milliseconds) override {
    interval_ = milliseconds < 0 ? 0 : milliseconds;
    restart();
  }
  int interval() const override { return interval_; }
  void setEnabled(bool enabled) override {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    restart();
  }
  bool enabled() const override { return enabled_; }
  Instant dueAt() const override { return lastDue_; }

 protected:
  virtual void armOneShot(int milliseconds) = 0;
  virtual void disarm() = 0;
  virtual bool armed() const = 0;

  // The one shot fired.
  void tick() {
    lastDue_ = due_;
    if (tick_) tick_();
    if (enabled_ && interval_ > 0 && !armed()) startCountdown();
  }

 private:
  void restart() {
    if (enabled_ && interval_ > 0) {
      startCountdown();
    } else {
      disarm();
    }
  }
  void startCountdown() {
    due_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(interval_);
    armOneShot(interval_);
  }

  std::function<void()> tick_;
  int interval_ = 0;
  bool enabled_ = false;
  Instant due_{};
  Instant lastDue_{};
};

}  // namespace meterstation
