#pragma once

#include <functional>

#include "platform/instant.h"
#include "platform/station_events.h"
#include "platform/timer.h"
#include "platform/win32/message_window.h"

namespace meterstation {

// A station timer on the thread's message loop: the retry of waiting lines
// and the look for a working directory that is not there yet. A tick whose
// handler leaves the timer enabled starts the next countdown. (The quiet
// period is kept by the serial link, on the stamps of the arrivals.)
class Win32Timer : public Timer {
 public:
  // Ticks go nowhere until the timer is bound to the station.
  void bind(StationEvents& events, void (StationEvents::*handler)() = &StationEvents::Timer1_Timer);
  void bindTick(std::function<void()> tick);

  void setInterval(int milliseconds) override;
  int interval() const override;
  void setEnabled(bool enabled) override;
  bool enabled() const override;
  Instant dueAt() const override;

 private:
  void restart();
  void startCountdown();
  void onTimeout();

  MessageWindow window_;
  std::function<void()> tick_;
  int interval_ = 0;
  bool enabled_ = false;
  Instant due_{};
  Instant lastDue_{};
};

}  // namespace meterstation
