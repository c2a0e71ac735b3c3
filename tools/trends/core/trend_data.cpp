#include "trends/core/trend_data.h"

#include <algorithm>
#include <limits>

namespace meterstation::trends {

void TrendData::append(std::int64_t time, const float* sixteen) {
  if (!times.empty() && time < times.back()) rising = false;
  if (times.size() % kBlockSets == 0) blocks.resize(blocks.size() + kMeters);
  times.push_back(time);
  values.insert(values.end(), sixteen, sixteen + kMeters);
  BlockSpan* spans = &blocks[blocks.size() - kMeters];
  for (int m = 0; m < kMeters; ++m) {
    const float v = sixteen[m];
    if (std::isnan(v)) continue;
    BlockSpan& span = spans[m];
    span.low = span.points == 0 ? v : std::min(span.low, v);
    span.high = span.points == 0 ? v : std::max(span.high, v);
    ++span.points;
  }
}

void TrendData::reserve(std::size_t sets) {
  times.reserve(sets);
  values.reserve(sets * kMeters);
  blocks.reserve((sets / kBlockSets + 1) * kMeters);
}

std::pair<std::size_t, std::size_t> TrendData::indexRange(std::int64_t from,
                                                          std::int64_t to) const {
  if (!rising) return {0, times.size()};
  const auto first = std::lower_bound(times.begin(), times.end(), from);
  const auto last = std::upper_bound(first, times.end(), to);
  return {static_cast<std::size_t>(first - times.begin()),
          static_cast<std::size_t>(last - times.begin())};
}

std::size_t TrendData::nearest(std::int64_t t) const {
  if (times.empty()) return 0;
  if (rising) {
    const auto after = std::lower_bound(times.begin(), times.end(), t);
    if (after == times.begin()) return 0;
    if (after == times.end()) return times.size() - 1;
    const auto before = after - 1;
    const auto pick = (t - *before <= *after - t) ? before : after;
    return static_cast<std::size_t>(pick - times.begin());
  }
  std::size_t best = 0;
  for (std::size_t i = 1; i < times.size(); ++i) {
    if (std::llabs(times[i] - t) < std::llabs(times[best] - t)) best = i;
  }
  return best;
}

std::int64_t TrendData::firstTime() const {
  if (times.empty()) return 0;
  return rising ? times.front() : *std::min_element(times.begin(), times.end());
}

std::int64_t TrendData::lastTime() const {
  if (times.empty()) return 0;
  return rising ? times.back() : *std::max_element(times.begin(), times.end());
}

}  // namespace meterstation::trends
