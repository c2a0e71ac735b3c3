#pragma once

#include <functional>

#include "platform/serial/link_scheduler.h"
#include "platform/win32/message_window.h"

namespace meterstation {

// The serial link's turns and timers on the thread's message loop.
class Win32LinkScheduler : public LinkScheduler {
 public:
  void post(std::function<void()> call) override;
  void startRepeating(int periodMs, std::function<void()> tick) override;
  void stopRepeating() override;
  void startDeadline(int ms, std::function<void()> expired) override;
  void stopDeadline() override;
  Instant now() const override;
  void startAt(Instant at, std::function<void()> due) override;
  void stopAt() override;

 private:
  void armAt();

  MessageWindow window_;
  Instant atMoment_{};
  std::function<void()> due_;
};

}  // namespace meterstation
