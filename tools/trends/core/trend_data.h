#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace meterstation::trends {

inline constexpr int kMeters = 16;

// One meter's values over a block of sets: a zoomed-out picture takes whole
// blocks at a time instead of every set.
struct BlockSpan {
  float low = 0;
  float high = 0;
  std::uint32_t points = 0;  // values that are numbers
};
inline constexpr std::size_t kBlockSets = 16;

// One field of every good set: its time and the sixteen meters' values, a
// value NaN where the field is not a number. A year of a busy processor is
// 570,000 sets: 72 bytes a set keeps it near 41 MB. The sets stay in file
// order; times are usually rising, and then ranges are found by halving.
struct TrendData {
  int field = 2;  // 2 to 8, the reading's field these values come from
  std::vector<std::int64_t> times;
  std::vector<float> values;      // kMeters per set, meter 1 first
  bool rising = true;             // times never go back in file order
  std::vector<BlockSpan> blocks;  // kMeters per block of kBlockSets sets

  std::size_t size() const { return times.size(); }
  float value(std::size_t set, int meter) const {
    return values[set * kMeters + static_cast<std::size_t>(meter - 1)];
  }
  const BlockSpan& block(std::size_t index, int meter) const {
    return blocks[index * kMeters + static_cast<std::size_t>(meter - 1)];
  }
  void append(std::int64_t time, const float* sixteen);
  // Room for this many sets, so a year is not copied while it grows.
  void reserve(std::size_t sets);

  // The sets whose time lies in [from, to]: the whole data unless rising.
  std::pair<std::size_t, std::size_t> indexRange(std::int64_t from, std::int64_t to) const;
  // The set nearest in time to t, or size() when there is none.
  std::size_t nearest(std::int64_t t) const;
  std::int64_t firstTime() const;
  std::int64_t lastTime() const;
};

}  // namespace meterstation::trends
