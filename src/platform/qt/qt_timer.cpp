#include "platform/qt/qt_timer.h"

#include <utility>

namespace meterstation {

QtTimer::QtTimer() {
  timer_.setTimerType(Qt::PreciseTimer);
  // Single-shot underneath: the next countdown starts only once the handler
  // has returned and left the timer enabled, never while it is still busy.
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &QtTimer::onTimeout);
}

void QtTimer::bind(StationEvents& events, void (StationEvents::*handler)()) {
  tick_ = [&events, handler] { (events.*handler)(); };
}

void QtTimer::bindTick(std::function<void()> tick) { tick_ = std::move(tick); }

void QtTimer::setInterval(int milliseconds) {
  interval_ = milliseconds < 0 ? 0 : milliseconds;
  if (enabled_ && interval_ > 0) {
    startCountdown();
  } else {
    timer_.stop();
  }
}

void QtTimer::startCountdown() {
  deadline_ = QDeadlineTimer(interval_, Qt::PreciseTimer);
  startStage();
}

// The first stage ends twice the kernel's slack plus 2 ms early; what is
// left is armed again, and the last part of a millisecond is waited for
// turn by turn of the event loop, so the tick is neither early nor late by
// a rounding.
void QtTimer::startStage() {
  const qint64 left = deadline_.remainingTimeNSecs() / 1000000;
  const qint64 lead = 2 + left / 500;
  timer_.start(static_cast<int>(left > lead ? left - lead : left));
}

int QtTimer::interval() const { return interval_; }

void QtTimer::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (enabled_ && interval_ > 0) {
    startCountdown();
  } else {
    timer_.stop();
  }
}

bool QtTimer::enabled() const { return enabled_; }

void QtTimer::onTimeout() {
  if (!deadline_.hasExpired()) {
    startStage();
    return;
  }
  if (tick_) tick_();
  if (enabled_ && interval_ > 0 && !timer_.isActive()) startCountdown();
}

}  // namespace meterstation
