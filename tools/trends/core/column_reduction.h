#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "trends/core/trend_data.h"

namespace meterstation::trends {

// What one pixel column shows of one meter: the lowest and highest value
// of the sets that fall in it, and the first and last, so the line can
// come in at the first and leave at the last. A year is 570,000 sets; a
// screen is some 1,500 columns: this is all of it that can be seen.
struct ColumnSpan {
  float low = 0;
  float high = 0;
  float first = 0;
  float last = 0;
  int points = 0;
  // The line comes from the meter's previous value: no gap in time wider
  // than the break between them.
  bool joined = false;
};

// A time range on the axis, both ends included.
struct TimeRange {
  std::int64_t from = 0;
  std::int64_t to = 0;
};

struct Reduction {
  int columns = 0;
  std::array<std::vector<ColumnSpan>, kMeters> meters;
  int points = 0;  // sets in the range
};

// The column of time t: the range cut into `columns` equal parts, the last
// one taking `to` itself. -1 outside the range.
int columnOf(std::int64_t t, const TimeRange& range, int columns);

// Every meter's sets in the range reduced to min/max per column. A value is
// joined to the meter's previous one unless more than breakGap seconds lie
// between them, so a station that was off shows as a gap, not a slope.
Reduction reduceToColumns(const TrendData& data, const TimeRange& range, int columns,
                          std::int64_t breakGap);

// The gap that breaks a line: ten times the usual spacing of sets (the
// median of the gaps), so a missed set or two still joins.
std::int64_t breakGapOf(const TrendData& data);

}  // namespace meterstation::trends
