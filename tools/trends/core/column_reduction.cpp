#include "trends/core/column_reduction.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace meterstation::trends {

namespace {

constexpr std::int64_t kNoTime = std::numeric_limits<std::int64_t>::min();
// A meter missing from more sets in a row than this starts a new line.
constexpr std::size_t kLookBack = 256;

void addPoint(ColumnSpan& span, float v) {
  if (span.points == 0) {
    span.low = span.high = span.first = v;
  } else {
    span.low = std::min(span.low, v);
    span.high = std::max(span.high, v);
  }
  span.last = v;
  ++span.points;
}

// The time of the meter's last value before set `index`, in file order.
std::int64_t previousPointTime(const TrendData& data, std::size_t index, int meter) {
  for (std::size_t back = 1; back <= kLookBack && back <= index; ++back) {
    if (!std::isnan(data.value(index - back, meter))) return data.times[index - back];
  }
  return kNoTime;
}

bool joinedAfter(std::int64_t previous, std::int64_t t, std::int64_t breakGap) {
  return previous != kNoTime && t - previous <= breakGap;
}

// Every set looked at: for times that go back somewhere in the file.
Reduction reduceByScan(const TrendData& data, const TimeRange& range, Reduction r,
                       std::int64_t breakGap) {
  std::array<std::int64_t, kMeters> previous;
  previous.fill(kNoTime);
  for (std::size_t i = 0; i < data.size(); ++i) {
    const std::int64_t t = data.times[i];
    const int c = columnOf(t, range, r.columns);
    if (c >= 0) ++r.points;
    for (int m = 0; m < kMeters; ++m) {
      const float v = data.values[i * kMeters + static_cast<std::size_t>(m)];
      if (std::isnan(v)) continue;
      const auto um = static_cast<std::size_t>(m);
      if (c >= 0) {
        ColumnSpan& span = r.meters[um][static_cast<std::size_t>(c)];
        if (span.points == 0) span.joined = joinedAfter(previous[um], t, breakGap);
        addPoint(span, v);
      }
      previous[um] = t;
    }
  }
  return r;
}

// The first set of column c: the first whose time maps to c or later.
std::size_t columnStart(const TrendData& data, const TimeRange& range, int columns, int c) {
  const auto& t = data.times;
  if (c >= columns)
    return static_cast<std::size_t>(std::upper_bound(t.begin(), t.end(), range.to) - t.begin());
  const std::int64_t width = std::max<std::int64_t>(range.to - range.from, 1);
  const std::int64_t boundary = range.from + (c * width + columns - 1) / columns;
  return static_cast<std::size_t>(std::lower_bound(t.begin(), t.end(), boundary) - t.begin());
}

// Sets [a, b) of one meter: raw values at the ends, whole blocks between.
ColumnSpan spanOf(const TrendData& data, std::size_t a, std::size_t b, int meter) {
  ColumnSpan span;
  std::size_t i = a;
  for (; i < b && i % kBlockSets != 0; ++i) {
    const float v = data.value(i, meter);
    if (!std::isnan(v)) addPoint(span, v);
  }
  for (; i + kBlockSets <= b; i += kBlockSets) {
    const BlockSpan& block = data.block(i / kBlockSets, meter);
    if (block.points == 0) continue;
    span.low = span.points == 0 ? block.low : std::min(span.low, block.low);
    span.high = span.points == 0 ? block.high : std::max(span.high, block.high);
    span.points += static_cast<int>(block.points);
  }
  for (; i < b; ++i) {
    const float v = data.value(i, meter);
    if (!std::isnan(v)) addPoint(span, v);
  }
  if (span.points == 0) return span;
  for (i = a; std::isnan(data.value(i, meter)); ++i) {
  }
  span.first = data.value(i, meter);
  for (i = b - 1; std::isnan(data.value(i, meter)); --i) {
  }
  span.last = data.value(i, meter);
  return span;
}

// Rising times: each column's sets found by halving, then summed up a
// block at a time, so a year costs about as much as a week.
Reduction reduceByBlocks(const TrendData& data, const TimeRange& range, Reduction r,
                         std::int64_t breakGap) {
  std::size_t a = columnStart(data, range, r.columns, 0);
  for (int c = 0; c < r.columns; ++c) {
    const std::size_t b = columnStart(data, range, r.columns, c + 1);
    if (a == b) continue;
    r.points += static_cast<int>(b - a);
    for (int m = 1; m <= kMeters; ++m) {
      ColumnSpan span = spanOf(data, a, b, m);
      if (span.points == 0) continue;
      std::size_t firstSet = a;
      while (std::isnan(data.value(firstSet, m))) ++firstSet;
      span.joined =
          joinedAfter(previousPointTime(data, firstSet, m), data.times[firstSet], breakGap);
      r.meters[static_cast<std::size_t>(m - 1)][static_cast<std::size_t>(c)] = span;
    }
    a = b;
  }
  return r;
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
  if (data.rising) return reduceByBlocks(data, range, std::move(r), breakGap);
  return reduceByScan(data, range, std::move(r), breakGap);
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
