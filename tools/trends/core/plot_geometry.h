#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trends/core/column_reduction.h"
#include "trends/core/meter_limits.h"

namespace meterstation::trends {

// A rectangle in pixels; right and bottom are the last pixels inside.
struct Box {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int right() const { return left + width - 1; }
  int bottom() const { return top + height - 1; }
  bool contains(int x, int y) const {
    return x >= left && x <= right() && y >= top && y <= bottom();
  }
};

struct Panel {
  int meter = 0;
  Box cell;  // with its title and value labels
  Box plot;  // where values are drawn, one reduction column per pixel
};

inline constexpr int kHeaderHeight = 26;
inline constexpr int kAxisHeight = 22;

// Sixteen panels four by four with one time axis below, or one meter
// filling the picture. Every panel's plot has the same width and times,
// so one reduction serves them all.
std::vector<Panel> layoutPanels(int width, int height, int meter);

// The values a plot shows, bottom to top.
struct ValueScale {
  double low = 0;
  double high = 1;
};

// From the lowest to the highest value in view, with the switched-on
// limits taken in so their lines are always seen, and 5% room above and
// below so the extremes do not sit on the frame.
ValueScale valueScale(const std::vector<ColumnSpan>& spans, const MeterLimits* limits);

// The pixel row of a value; values outside the scale fall outside the plot.
int rowOf(double value, const ValueScale& scale, const Box& plot);

// Round times for the axis, at most about maxTicks of them, and their label
// texts: dates when the step is a day or more, else month, day and time.
struct TimeTick {
  std::int64_t time = 0;
  std::string label;
};
std::vector<TimeTick> timeTicks(const TimeRange& range, int maxTicks);

}  // namespace meterstation::trends
