#include "platform/win32/win32_link_scheduler.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace meterstation {

namespace {

enum Slot : UINT_PTR { kRepeating = 1, kDeadline, kAt };

}  // namespace

void Win32LinkScheduler::post(std::function<void()> call) { window_.post(std::move(call)); }

void Win32LinkScheduler::startRepeating(int periodMs, std::function<void()> tick) {
  window_.startTimer(kRepeating, periodMs, std::move(tick), true);
}

void Win32LinkScheduler::stopRepeating() { window_.stopTimer(kRepeating); }

void Win32LinkScheduler::startDeadline(int ms, std::function<void()> expired) {
  window_.startTimer(kDeadline, ms, std::move(expired));
}

void Win32LinkScheduler::stopDeadline() { window_.stopTimer(kDeadline); }

Instant Win32LinkScheduler::now() const { return std::chrono::steady_clock::now(); }

void Win32LinkScheduler::startAt(Instant at, std::function<void()> due) {
  due_ = std::move(due);
  atMoment_ = at;
  armAt();
}

// Lateness costs nothing but the delay itself: what ends a reading is the
// stamps, not when the call comes. The system's timers may fire a little
// before their time, so an early call waits again.
void Win32LinkScheduler::armAt() {
  using std::chrono::milliseconds;
  const auto left = std::chrono::ceil<milliseconds>(atMoment_ - now());
  const int ms = static_cast<int>(std::max<milliseconds::rep>(left.count(), 0));
  window_.startTimer(kAt, ms, [this] {
    if (now() < atMoment_) {
      armAt();
      return;
    }
    const std::function<void()> due = due_;
    if (due) due();
  });
}

void Win32LinkScheduler::stopAt() { window_.stopTimer(kAt); }

}  // namespace meterstation
