#include "platform/qt/qt_timer.h"

#include <chrono>
#include <utility>

namespace meterstation {

QtTimer::QtTimer() {
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
  due_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(interval_);
  timer_.start(interval_);
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

Instant QtTimer::dueAt() const { return lastDue_; }

void QtTimer::onTimeout() {
  lastDue_ = due_;
  if (tick_) tick_();
  if (enabled_ && interval_ > 0 && !timer_.isActive()) startCountdown();
}

}  // namespace meterstation
