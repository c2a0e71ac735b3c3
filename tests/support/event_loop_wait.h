#pragma once

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <functional>

#include "support/wait_until.h"

namespace meterstation::testsupport {

// Runs the event loop until condition() holds or timeoutMs has passed,
// calling between() after each round of events; true when the condition
// came true.
inline bool waitWithEvents(const std::function<bool()>& condition, int timeoutMs = 5000,
                           const std::function<void()>& between = {}) {
  return waitUntil(condition, std::chrono::milliseconds(timeoutMs), [&] {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (between) between();
    // The events of a port or a child process come from outside the loop;
    // a short sleep keeps the wait from spinning while none are there.
    QThread::msleep(5);
  });
}

// Lets the event loop run for ms, for what must not happen in that time.
inline void runEventsFor(int ms) {
  waitWithEvents([] { return false; }, ms);
}

}  // namespace meterstation::testsupport
