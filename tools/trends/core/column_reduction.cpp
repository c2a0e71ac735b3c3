#include "trends/core/column_reduction.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace meterstation::trends {

namespace {

void addPoint(ColumnSpan& span, float v, bool joined) {
  if (span.points == 0) {
    span.low = span.high = span.first = v;
    span.joined = joined;
  } else {
    span.low = std::min(span.low, v);
    span.high = std::max(span.high, v);
  }
  span.last = v;
  ++span.points;
}

}  // namespace

int columnOf(std::int64_t t, const TimeRange& range, int columns) {
  if (columns <= 0 || t < range.from || t > range.to) return -1;
  const std::int64_t width = std::max<std::int64_t>(range.to - range.from, 1);
  const std::int64_t c = (t - range.from) * columns / width;
  return static_cast<int>(std::min<std::int64_t>(c, columns - 1));
}

Reduction reduceToColumns(const TrendData& data, const TimeRange& range, int columns,
                          std::int64_t breakGap) {
  Reduction r;
  r.columns = std::max(columns, 0);
  for (auto& spans : r.meters) spans.assign(static_cast<std::size_t>(r.columns), {});
  if (r.columns == 0) return r;
  const auto [begin, end] = data.indexRange(range.from, range.to);
  // Each meter's last value before the range, so the line enters it joined.
  std::array<std::int64_t, kMeters> previous;
  previous.fill(std::numeric_limits<std::int64_t>::min());
  if (data.rising && begin > 0) previous.fill(data.times[begin - 1]);
  for (std::size_t i = begin; i < end; ++i) {
    const std::int64_t t = data.times[i];
    const int c = columnOf(t, range, r.columns);
    if (c < 0) continue;
    ++r.points;
    for (int m = 0; m < kMeters; ++m) {
      const float v = data.values[i * kMeters + static_cast<std::size_t>(m)];
      if (std::isnan(v)) continue;
      const auto um = static_cast<std::size_t>(m);
      const bool joined = previous[um] != std::numeric_limits<std::int64_t>::min() &&
                          t - previous[um] <= breakGap;
      addPoint(r.meters[um][static_cast<std::size_t>(c)], v, joined);
      previous[um] = t;
    }
  }
  return r;
}

std::int64_t breakGapOf(const TrendData& data) {
  if (data.size() < 2) return 0;
  // A sample of gaps is enough for their median, also for a year.
  std::vector<std::int64_t> gaps;
  const std::size_t step = std::max<std::size_t>(1, data.size() / 4096);
  for (std::size_t i = step; i < data.size(); i += step) {
    gaps.push_back(std::llabs(data.times[i] - data.times[i - 1]));
  }
  if (gaps.empty()) return 0;
  std::nth_element(gaps.begin(), gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2),
                   gaps.end());
  return std::max<std::int64_t>(gaps[gaps.size() / 2], 1) * 10;
}

}  // namespace meterstation::trends
