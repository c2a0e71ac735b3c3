#include "platform/win32/win32_timer.h"

#include <chrono>
#include <utility>

namespace meterstation {

namespace {

constexpr UINT_PTR kCountdown = 1;

}  // namespace

void Win32Timer::bind(StationEvents& events, void (StationEvents::*handler)()) {
  tick_ = [&events, handler] { (events.*handler)(); };
}

void Win32Timer::bindTick(std::function<void()> tick) { tick_ = std::move(tick); }

void Win32Timer::setInterval(int milliseconds) {
  interval_ = milliseconds < 0 ? 0 : milliseconds;
  restart();
}

int Win32Timer::interval() const { return interval_; }

void Win32Timer::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  restart();
}

bool Win32Timer::enabled() const { return enabled_; }

Instant Win32Timer::dueAt() const { return lastDue_; }

void Win32Timer::restart() {
  if (enabled_ && interval_ > 0) {
    startCountdown();
  } else {
    window_.stopTimer(kCountdown);
  }
}

// One-shot underneath: the next countdown starts only once the handler has
// returned and left the timer enabled, never while it is still busy.
void Win32Timer::startCountdown() {
  due_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(interval_);
  window_.startTimer(kCountdown, interval_, [this] { onTimeout(); });
}

void Win32Timer::onTimeout() {
  lastDue_ = due_;
  if (tick_) tick_();
  if (enabled_ && interval_ > 0 && !window_.timerActive(kCountdown)) startCountdown();
}

}  // namespace meterstation
