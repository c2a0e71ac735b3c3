#pragma once

#include <chrono>
#include <cstdint>

namespace meterstation::sim {

// At 300 baud a character of ten bits (start, eight data, stop) takes
// 33 1/3 ms on the wire.
inline constexpr int kCharactersPerSecond = 30;

// When character `index` of a burst is due, counted from the burst's start.
// Every offset is taken from the start rather than from the previous
// character, so rounding never adds up over a long run.
constexpr std::chrono::nanoseconds characterOffset(std::int64_t index) {
  return std::chrono::nanoseconds(index * 1'000'000'000 / kCharactersPerSecond);
}

// How many characters of a burst are due once `elapsed` has passed since
// its start: the first one at once, then one more every 33 1/3 ms. Exactly
// the indexes whose characterOffset has been reached, so that waking at a
// character's offset always finds that character due.
constexpr std::int64_t charactersDue(std::chrono::nanoseconds elapsed) {
  if (elapsed.count() < 0) return 0;
  return ((elapsed.count() + 1) * kCharactersPerSecond + 999'999'999) / 1'000'000'000;
}

}  // namespace meterstation::sim
