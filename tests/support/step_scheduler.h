#pragma once

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <utility>

#include "platform/serial/link_scheduler.h"

namespace meterstation::testsupport {

// The event loop, turned by hand, on a clock of its own: posted calls run
// when the test says, and a period, a deadline or a moment passes when the
// test says.
class StepScheduler : public LinkScheduler {
 public:
  void post(std::function<void()> call) override { posted_.push_back(std::move(call)); }
  void startRepeating(int periodMs, std::function<void()> tick) override {
    periodMs_ = periodMs;
    tick_ = std::move(tick);
  }
  void stopRepeating() override { tick_ = nullptr; }
  void startDeadline(int ms, std::function<void()> expired) override {
    deadlineMs_ = ms;
    expired_ = std::move(expired);
  }
  void stopDeadline() override { expired_ = nullptr; }
  Instant now() const override { return now_; }
  void startAt(Instant at, std::function<void()> due) override {
    at_ = at;
    due_ = std::move(due);
  }
  void stopAt() override { due_ = nullptr; }

  void runPosted() {
    while (!posted_.empty()) {
      const std::function<void()> call = std::move(posted_.front());
      posted_.pop_front();
      call();
    }
  }
  bool repeating() const { return static_cast<bool>(tick_); }
  int periodMs() const { return periodMs_; }
  void passPeriod() {
    const std::function<void()> tick = tick_;
    if (tick) tick();
  }
  bool deadlineArmed() const { return static_cast<bool>(expired_); }
  int deadlineMs() const { return deadlineMs_; }
  void passDeadline() {
    const std::function<void()> expired = std::move(expired_);
    expired_ = nullptr;
    if (expired) expired();
  }

  // Moves the clock on without turning the loop, as a busy thread does.
  void hold(std::chrono::milliseconds ms) { now_ += ms; }
  // Moves the clock on, turning the loop: the call at a moment runs once
  // that moment is reached, posted calls run as they come.
  void pass(std::chrono::milliseconds ms) {
    const Instant end = now_ + ms;
    runPosted();
    while (due_ && at_ <= end) {
      now_ = std::max(now_, at_);
      const std::function<void()> due = std::move(due_);
      due_ = nullptr;
      due();
      runPosted();
    }
    now_ = end;
  }
  bool atArmed() const { return static_cast<bool>(due_); }
  Instant at() const { return at_; }

 private:
  std::deque<std::function<void()>> posted_;
  std::function<void()> tick_;
  int periodMs_ = 0;
  std::function<void()> expired_;
  int deadlineMs_ = 0;
  Instant now_{};
  Instant at_{};
  std::function<void()> due_;
};

}  // namespace meterstation::testsupport
