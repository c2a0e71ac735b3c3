#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "support/wait_until.h"

namespace meterstation::testsupport {

// The event thread, played by the test: calls posted from any thread wait
// until the test runs them, so it decides when the event thread is busy.
class QueuedEventThread {
 public:
  using Post = std::function<void(std::function<void()>)>;

  Post poster() {
    return [this](std::function<void()> call) {
      const std::lock_guard<std::mutex> lock(mutex_);
      calls_.push_back(std::move(call));
    };
  }
  std::size_t queued() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return calls_.size();
  }
  // Runs what is queued, and whatever that queues, until nothing is.
  void runQueued() {
    for (;;) {
      std::function<void()> call;
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (calls_.empty()) return;
        call = std::move(calls_.front());
        calls_.pop_front();
      }
      call();
    }
  }
  bool runUntil(const std::function<bool()>& condition,
                std::chrono::steady_clock::duration patience = std::chrono::seconds(5)) {
    return waitUntil(condition, patience, [this] {
      runQueued();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
  }

 private:
  mutable std::mutex mutex_;
  std::deque<std::function<void()>> calls_;
};

}  // namespace meterstation::testsupport
