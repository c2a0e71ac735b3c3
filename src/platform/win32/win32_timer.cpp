#include "platform/win32/win32_timer.h"

namespace meterstation {

namespace {

constexpr UINT_PTR kCountdown = 1;

}  // namespace

// The window's timers are one-shot unless asked otherwise.
void Win32Timer::armOneShot(int milliseconds) {
  window_.startTimer(kCountdown, milliseconds, [this] { tick(); });
}

void Win32Timer::disarm() { window_.stopTimer(kCountdown); }

bool Win32Timer::armed() const { return window_.timerActive(kCountdown); }

}  // namespace meterstation
