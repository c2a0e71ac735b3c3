#include "platform/serial/receive_sequence.h"

#include <chrono>
#include <utility>

namespace meterstation {

ReceiveSequence::ReceiveSequence(LinkScheduler& scheduler) : scheduler_(scheduler) {}

ReceiveSequence::~ReceiveSequence() { scheduler_.stopAt(); }

void ReceiveSequence::setHandlers(Handlers handlers) { handlers_ = std::move(handlers); }

void ReceiveSequence::add(std::vector<Arrival> arrivals) {
  for (Arrival& arrival : arrivals) {
    if (!arrival.bytes.empty()) waiting_.push_back(std::move(arrival));
  }
}

void ReceiveSequence::run() {
  // Re-entered from a handler it called: the loop below goes on.
  if (running_) return;
  if (handlers_.busy && handlers_.busy()) {
    runLater();
    return;
  }
  running_ = true;
  while (step()) {
  }
  running_ = false;
  schedule();
}

void ReceiveSequence::runLater() {
  if (runPosted_) return;
  runPosted_ = true;
  scheduler_.post([this] {
    runPosted_ = false;
    run();
  });
}

// One event in the order it happened: the tick of a quiet period that ended
// before the next arrival, else the next arrival.
bool ReceiveSequence::step() {
  if (handlers_.collect) handlers_.collect();
  const Instant now = scheduler_.now();
  if (tickDue(now)) {
    tick(*due());
    return true;
  }
  if (waiting_.empty()) return false;
  const Arrival next = std::move(waiting_.front());
  waiting_.pop_front();
  handing_ = next.at;
  if (handlers_.arrival) handlers_.arrival(next);
  handing_.reset();
  return true;
}

// An arrival stamped exactly at the end of a quiet period came after a
// full interval of silence: the tick goes first.
bool ReceiveSequence::tickDue(Instant now) const {
  const std::optional<Instant> end = due();
  return end && *end <= now && (waiting_.empty() || *end <= waiting_.front().at);
}

void ReceiveSequence::tick(Instant due) {
  lastDue_ = due;
  const Instant startBefore = start_;
  if (handlers_.tick) handlers_.tick();
  // A handler that leaves the timer running starts the next countdown when
  // it returns.
  if (enabled_ && start_ == startBefore) start_ = scheduler_.now();
}

std::optional<Instant> ReceiveSequence::due() const {
  if (!enabled_ || interval_ <= 0) return std::nullopt;
  return start_ + std::chrono::milliseconds(interval_);
}

// A countdown started while an arrival is being notified runs from the
// arrival's stamp; any other from now.
Instant ReceiveSequence::origin() const { return handing_ ? *handing_ : scheduler_.now(); }

void ReceiveSequence::schedule() {
  if (running_) return;
  const std::optional<Instant> end = due();
  if (end) {
    scheduler_.startAt(*end, [this] { run(); });
  } else {
    scheduler_.stopAt();
  }
}

void ReceiveSequence::setInterval(int milliseconds) {
  interval_ = milliseconds < 0 ? 0 : milliseconds;
  start_ = origin();
  schedule();
}

int ReceiveSequence::interval() const { return interval_; }

void ReceiveSequence::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (enabled_) start_ = origin();
  schedule();
}

bool ReceiveSequence::enabled() const { return enabled_; }

Instant ReceiveSequence::dueAt() const { return lastDue_; }

}  // namespace meterstation
