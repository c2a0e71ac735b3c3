#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace meterstation::trends {

inline constexpr int kMeters = 16;

// One field of every good set: its time and the sixteen meters' values, a
// value NaN where the field is not a number. A year of a busy processor is
// 570,000 sets: 72 bytes a set keeps it near 41 MB. The sets stay in file
// order; times are usually rising, and then ranges are found by halving.
struct TrendData {
  int field = 2;  // 2 to 8, the reading's field these values come from
  std::vector<std::int64_t> times;
  std::vector<float> values;  // kMeters per set, meter 1 first
  bool rising = true;         // times never go back in file order

  std::size_t size() const { return times.size(); }
  float value(std::size_t set, int meter) const {
    return values[set * kMeters + static_cast<std::size_t>(meter - 1)];
  }
  void append(std::int64_t time, const float* sixteen);

  // The sets whose time lies in [from, to]: the whole data unless rising.
  std::pair<std::size_t, std::size_t> indexRange(std::int64_t from, std::int64_t to) const;
  // The set nearest in time to t, or size() when there is none.
  std::size_t nearest(std::int64_t t) const;
  std::int64_t firstTime() const;
  std::int64_t lastTime() const;
};

}  // namespace meterstation::trends
