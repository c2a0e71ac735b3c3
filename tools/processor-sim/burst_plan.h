#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "processor-sim/reading_generator.h"

namespace meterstation::sim {

enum class BurstKind {
  Sync,
  Reading,
  Garbage,
  Nul,
  Short,
  Duplicate,
  Hangup,
  Back,
};
inline constexpr int kBurstKindCount = 8;

// "sync", "reading", ... as the log writes them.
const char* kindName(BurstKind kind);

// One thing the processor does between two silences: a text to send, or,
// for Hangup, dropping the line.
struct Burst {
  BurstKind kind = BurstKind::Reading;
  std::string text;
  // The meter the text reports; 0 for garbage and hang-ups.
  int meter = 0;
};

// Fault periods, counted in meter readings sent (a reading slot, whatever
// fault it carries); 0 leaves the fault out.
struct FaultPeriods {
  int garbageEvery = 0;
  int nulEvery = 0;
  int shortEvery = 0;
  int duplicateEvery = 0;
  int hangupEvery = 0;
};

struct PlanSettings {
  std::uint64_t seed = 1;
  bool shuffle = false;
  // 0: endless.
  int sets = 0;
  FaultPeriods faults;
};

// The processor's stream as a sequence of bursts: one synchronisation
// burst, then sixteen meter readings per set with the faults laid in.
// Garbage and hang-ups come after the reading that completes their period;
// NUL, short and duplicate readings take that reading's place. When several
// fall on the same reading, short wins over nul, and nul over duplicate.
class BurstPlan {
 public:
  explicit BurstPlan(const PlanSettings& settings);

  // The next burst, or nullopt once the last set is out.
  std::optional<Burst> next();

 private:
  Burst readingSlot();
  static bool due(int every, long count) { return every > 0 && count % every == 0; }

  PlanSettings settings_;
  ReadingGenerator generator_;
  bool syncSent_ = false;
  int setsStarted_ = 0;
  std::vector<int> order_;
  std::size_t slot_ = 0;
  long readingsSent_ = 0;
  std::deque<Burst> afterReading_;
};

}  // namespace meterstation::sim
