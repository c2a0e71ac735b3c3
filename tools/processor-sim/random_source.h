#pragma once

#include <cstdint>

namespace meterstation::sim {

// A small generator of our own (SplitMix64): the standard library's
// distributions are free to differ between library versions, and a seed
// must give the same stream on every build.
class RandomSource {
 public:
  explicit RandomSource(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next();
  // Uniform in lo..hi, both included; lo must not exceed hi.
  int between(int lo, int hi);

 private:
  std::uint64_t state_;
};

}  // namespace meterstation::sim
