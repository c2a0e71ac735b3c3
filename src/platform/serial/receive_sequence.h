#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/instant.h"
#include "platform/serial/link_scheduler.h"
#include "platform/serial/port_device.h"
#include "platform/timer.h"

namespace meterstation {

// The quiet-period timer and the arrivals of the line, handed to the
// station in the order in which they happened. A countdown started by the
// notification of an arrival runs from that arrival's stamp, so a reading
// ends where the line was silent for the interval, not where the event
// thread happened to notice bytes. When the thread was held up, what
// arrived meanwhile is handed over arrival by arrival, and every quiet
// period that ended between two of them ticks in its place: a busy thread
// neither merges nor splits readings, it only processes them later.
class ReceiveSequence : public Timer {
 public:
  struct Handlers {
    std::function<void()> collect;                // takes what the device holds into add()
    std::function<void(const Arrival&)> arrival;  // the notification of the bytes
    std::function<void()> tick;                   // a quiet period ran out
    std::function<bool()> busy;                   // a call of the station is under way
  };

  explicit ReceiveSequence(LinkScheduler& scheduler);
  ~ReceiveSequence() override;
  ReceiveSequence(const ReceiveSequence&) = delete;
  ReceiveSequence& operator=(const ReceiveSequence&) = delete;

  void setHandlers(Handlers handlers);
  void add(std::vector<Arrival> arrivals);
  // Hands over everything that is due, in order; when a call of the station
  // is under way, on the next turn of the loop instead.
  void run();

  void setInterval(int milliseconds) override;
  int interval() const override;
  void setEnabled(bool enabled) override;
  bool enabled() const override;
  Instant dueAt() const override;

 private:
  bool step();
  bool tickDue(Instant now) const;
  void tick(Instant due);
  std::optional<Instant> due() const;
  Instant origin() const;
  void schedule();
  void runLater();

  LinkScheduler& scheduler_;
  Handlers handlers_;
  std::deque<Arrival> waiting_;
  std::optional<Instant> handing_;  // the stamp of the arrival being notified
  int interval_ = 0;
  bool enabled_ = false;
  Instant start_{};    // where the countdown runs from
  Instant lastDue_{};  // where the countdown that ticked last ran out
  bool running_ = false;
  bool runPosted_ = false;
};

}  // namespace meterstation
