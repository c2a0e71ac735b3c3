#include "platform/qt/qt_link_scheduler.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace meterstation {

// A call may start its own timer again, replacing the function that runs
// it: each runs from a copy.
QtLinkScheduler::QtLinkScheduler() {
  deadline_.setSingleShot(true);
  connect(&repeating_, &QTimer::timeout, this, [this] {
    const std::function<void()> tick = tick_;
    if (tick) tick();
  });
  connect(&deadline_, &QTimer::timeout, this, [this] {
    const std::function<void()> expired = expired_;
    if (expired) expired();
  });
  // Lateness here costs nothing but the delay itself: what ends a reading
  // is the stamps, not when the call comes. It must only never be early.
  at_.setSingleShot(true);
  at_.setTimerType(Qt::PreciseTimer);
  connect(&at_, &QTimer::timeout, this, [this] {
    if (now() < atMoment_) {
      armAt();
      return;
    }
    const std::function<void()> due = due_;
    if (due) due();
  });
}

void QtLinkScheduler::post(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void QtLinkScheduler::startRepeating(int periodMs, std::function<void()> tick) {
  tick_ = std::move(tick);
  repeating_.start(periodMs);
}

void QtLinkScheduler::stopRepeating() { repeating_.stop(); }

void QtLinkScheduler::startDeadline(int ms, std::function<void()> expired) {
  expired_ = std::move(expired);
  deadline_.start(ms);
}

void QtLinkScheduler::stopDeadline() { deadline_.stop(); }

Instant QtLinkScheduler::now() const { return std::chrono::steady_clock::now(); }

void QtLinkScheduler::startAt(Instant at, std::function<void()> due) {
  due_ = std::move(due);
  atMoment_ = at;
  armAt();
}

void QtLinkScheduler::armAt() {
  using std::chrono::milliseconds;
  const auto left = std::chrono::ceil<milliseconds>(atMoment_ - now());
  at_.start(static_cast<int>(std::max<milliseconds::rep>(left.count(), 0)));
}

void QtLinkScheduler::stopAt() { at_.stop(); }

}  // namespace meterstation
