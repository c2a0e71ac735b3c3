#pragma once

#include <QObject>
#include <QTimer>

#include "platform/countdown_timer.h"

namespace meterstation {

// A station timer over a QTimer: the retry of waiting lines and the look
// for a working directory that is not there yet. (The quiet period is kept
// by the serial link, on the stamps of the arrivals.)
class QtTimer : public QObject, public CountdownTimer {
  Q_OBJECT

 public:
  QtTimer();

 protected:
  void armOneShot(int milliseconds) override;
  void disarm() override;
  bool armed() const override;

 private:
  QTimer timer_;
};

}  // namespace meterstation
