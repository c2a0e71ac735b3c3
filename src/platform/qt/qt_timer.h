#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <functional>

#include "platform/station_events.h"
#include "platform/timer.h"

namespace meterstation {

// The quiet-period timer over a precise QTimer: a coarse timer may be off
// by a twentieth of the interval, which moves where readings are cut.
// A tick whose handler leaves the timer enabled starts the next countdown.
//
// Each countdown is armed in two stages. The kernel lets a wait of T end up
// to T/1000 late, 2 ms at 2000 ms; so the first stage ends a little before
// the deadline and a short second stage, whose slack is microseconds, ends
// at it. The tick never comes before the deadline.
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

 private:
  void onTimeout();
  void startCountdown();
  void startStage();

  QTimer timer_;
  QDeadlineTimer deadline_;
  std::function<void()> tick_;
  int interval_ = 0;
  bool enabled_ = false;
};

}  // namespace meterstation
