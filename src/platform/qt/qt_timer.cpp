#include "platform/qt/qt_timer.h"

namespace meterstation {

QtTimer::QtTimer() {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
}

void QtTimer::armOneShot(int milliseconds) { timer_.start(milliseconds); }

void QtTimer::disarm() { timer_.stop(); }

bool QtTimer::armed() const { return timer_.isActive(); }

}  // namespace meterstation
