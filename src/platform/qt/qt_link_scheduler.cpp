#include "platform/qt/qt_link_scheduler.h"

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

}  // namespace meterstation
