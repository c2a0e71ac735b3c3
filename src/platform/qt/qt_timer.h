#pragma once

#include <QObject>
#include <QTimer>

#include "platform/station_events.h"
#include "platform/timer.h"

namespace meterstation {

// The quiet-period timer over a precise QTimer: a coarse timer may be off
// by a twentieth of the interval, which moves where readings are cut.
// A tick whose handler leaves the timer enabled starts the next countdown.
class QtTimer : public QObject, public Timer {
  Q_OBJECT

 public:
  QtTimer();

  // Ticks go nowhere until the timer is bound to the station.
  void bind(StationEvents& events);

  void setInterval(int milliseconds) override;
  int interval() const override;
  void setEnabled(bool enabled) override;
  bool enabled() const override;

 private:
  void onTimeout();

  QTimer timer_;
  StationEvents* events_ = nullptr;
  int interval_ = 0;
  bool enabled_ = false;
};

}  // namespace meterstation
