#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

#include "platform/instant.h"
#include "platform/station_events.h"
#include "platform/timer.h"

namespace meterstation {

// A station timer over a QTimer: the retry of waiting lines and the look
// for a working directory that is not there yet. A tick whose handler
// leaves the timer enabled starts the next countdown. (The quiet period is
// kept by the serial link, on the stamps of the arrivals.)
class QtTimer : public QObject, public Timer {
  Q_OBJECT

 public:
  QtTimer();

  // Ticks go nowhere until the timer is bound to the station. The station
  // has more than one timer; each is bound to its own handler.
  void bind(StationEvents& events, void (StationEvents::*handler)() = &StationEvents::Timer1_Timer);
  // A tick that goes elsewhere than to the window's handlers.
  void bindTick(std::function<void()> tick);

  void setInterval(int milliseconds) override;
  int interval() const override;
  void setEnabled(bool enabled) override;
  bool enabled() const override;
  Instant dueAt() const override;

 private:
  void onTimeout();
  void startCountdown();

  QTimer timer_;
  std::function<void()> tick_;
  int interval_ = 0;
  bool enabled_ = false;
  Instant due_{};
  Instant lastDue_{};
};

}  // namespace meterstation
