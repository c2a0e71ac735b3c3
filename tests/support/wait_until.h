#pragma once

#include <chrono>
#include <thread>

namespace meterstation::testsupport {

// Polls until condition() holds or the timeout has passed, calling pause()
// between polls; true when the condition came true. The timeouts given are
// patience for a loaded machine, never a measure of anything.
template <typename Condition, typename Pause>
bool waitUntil(Condition&& condition, std::chrono::steady_clock::duration timeout, Pause&& pause) {
  const auto giveUp = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    pause();
  }
  return true;
}

// The same, sleeping `every` between polls.
template <typename Condition>
bool waitUntil(Condition&& condition, std::chrono::steady_clock::duration timeout,
               std::chrono::milliseconds every = std::chrono::milliseconds(10)) {
  return waitUntil(condition, timeout, [every] { std::this_thread::sleep_for(every); });
}

}  // namespace meterstation::testsupport
