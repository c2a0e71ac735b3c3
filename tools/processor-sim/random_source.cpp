#include "processor-sim/random_source.h"

namespace meterstation::sim {

std::uint64_t RandomSource::next() {
  state_ += 0x9e3779b97f4a7c15ULL;
  std::uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

int RandomSource::between(int lo, int hi) {
  const std::uint64_t span = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo) + 1;
  // Rejecting the top remainder keeps small ranges free of modulo bias.
  const std::uint64_t limit = UINT64_MAX - UINT64_MAX % span;
  std::uint64_t value = next();
  while (value >= limit) value = next();
  return static_cast<int>(lo + static_cast<std::int64_t>(value % span));
}

}  // namespace meterstation::sim
