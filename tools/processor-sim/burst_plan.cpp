#include "processor-sim/burst_plan.h"

namespace meterstation::sim {

const char* kindName(BurstKind kind) {
  switch (kind) {
    case BurstKind::Sync:
      return "sync";
    case BurstKind::Reading:
      return "reading";
    case BurstKind::Garbage:
      return "garbage";
    case BurstKind::Nul:
      return "nul";
    case BurstKind::Short:
      return "short";
    case BurstKind::Duplicate:
      return "duplicate";
    case BurstKind::Hangup:
      return "hangup";
    case BurstKind::Back:
      return "back";
  }
  return "?";
}

BurstPlan::BurstPlan(const PlanSettings& settings)
    : settings_(settings), generator_(settings.seed) {}

std::optional<Burst> BurstPlan::next() {
  if (!syncSent_) {
    syncSent_ = true;
    // The station throws its first burst away, so a plain reading of the
    // last meter does, as if it joined at the end of a cycle.
    return Burst{BurstKind::Sync, generator_.reading(kMeterCount), kMeterCount};
  }
  if (!afterReading_.empty()) {
    Burst burst = std::move(afterReading_.front());
    afterReading_.pop_front();
    return burst;
  }
  if (slot_ == order_.size()) {
    if (settings_.sets > 0 && setsStarted_ == settings_.sets) return std::nullopt;
    order_ = generator_.meterOrder(settings_.shuffle);
    slot_ = 0;
    ++setsStarted_;
  }
  return readingSlot();
}

Burst BurstPlan::readingSlot() {
  const FaultPeriods& faults = settings_.faults;
  const int meter = order_[slot_];
  ++readingsSent_;
  Burst burst;
  if (due(faults.shortEvery, readingsSent_)) {
    burst = {BurstKind::Short, generator_.shortLine(meter), meter};
  } else if (due(faults.nulEvery, readingsSent_)) {
    burst = {BurstKind::Nul, generator_.readingWithNuls(meter), meter};
  } else if (due(faults.duplicateEvery, readingsSent_)) {
    // The meter of the neighbouring slot of the same set, so that meter is
    // reported twice and this slot's own meter not at all.
    const int twin = order_[(slot_ + order_.size() - 1) % order_.size()];
    burst = {BurstKind::Duplicate, generator_.reading(twin), twin};
  } else {
    burst = {BurstKind::Reading, generator_.reading(meter), meter};
  }
  ++slot_;
  if (due(faults.garbageEvery, readingsSent_))
    afterReading_.push_back({BurstKind::Garbage, generator_.garbage(), 0});
  if (due(faults.hangupEvery, readingsSent_)) afterReading_.push_back({BurstKind::Hangup, "", 0});
  return burst;
}

}  // namespace meterstation::sim
