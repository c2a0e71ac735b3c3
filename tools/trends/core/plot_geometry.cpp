#include "trends/core/plot_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "trends/core/stamp_time.h"

namespace meterstation::trends {

namespace {

constexpr int kGap = 8;
constexpr int kTitleHeight = 15;
constexpr int kLabelWidth = 46;

Box plotIn(const Box& cell) {
  return {cell.left + kLabelWidth, cell.top + kTitleHeight, std::max(cell.width - kLabelWidth, 1),
          std::max(cell.height - kTitleHeight, 1)};
}

}  // namespace

std::vector<Panel> layoutPanels(int width, int height, int meter) {
  const Box area{kGap, kHeaderHeight, std::max(width - 2 * kGap, 4),
                 std::max(height - kHeaderHeight - kAxisHeight, 4)};
  if (meter >= 1 && meter <= kMeters) return {{meter, area, plotIn(area)}};
  // Equal plot widths for every column of panels, whatever is left over
  // goes to the right margin.
  const int cellWidth = (area.width - 3 * kGap) / 4;
  const int cellHeight = (area.height - 3 * kGap) / 4;
  std::vector<Panel> panels;
  for (int m = 1; m <= kMeters; ++m) {
    const int row = (m - 1) / 4;
    const int column = (m - 1) % 4;
    const Box cell{area.left + column * (cellWidth + kGap), area.top + row * (cellHeight + kGap),
                   cellWidth, cellHeight};
    panels.push_back({m, cell, plotIn(cell)});
  }
  return panels;
}

ValueScale valueScale(const std::vector<ColumnSpan>& spans, const MeterLimits* limits) {
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  for (const ColumnSpan& span : spans) {
    if (span.points == 0) continue;
    low = std::min(low, static_cast<double>(span.low));
    high = std::max(high, static_cast<double>(span.high));
  }
  if (limits != nullptr && limits->lowOn) {
    low = std::min(low, limits->low);
    high = std::max(high, limits->low);
  }
  if (limits != nullptr && limits->highOn) {
    low = std::min(low, limits->high);
    high = std::max(high, limits->high);
  }
  if (low > high) return {0, 1};
  if (low == high) return {low - 1, high + 1};
  const double room = (high - low) * 0.05;
  return {low - room, high + room};
}

int rowOf(double value, const ValueScale& scale, const Box& plot) {
  const double share = (scale.high - value) / (scale.high - scale.low);
  return plot.top + static_cast<int>(std::lround(share * (plot.height - 1)));
}

std::vector<TimeTick> timeTicks(const TimeRange& range, int maxTicks) {
  constexpr std::int64_t kHour = 3600;
  constexpr std::int64_t kDay = 86400;
  static constexpr std::int64_t kSteps[] = {
      60,         300,        900,        1800,       kHour,      3 * kHour, 6 * kHour,
      12 * kHour, kDay,       2 * kDay,   7 * kDay,   14 * kDay,  28 * kDay, 56 * kDay,
      91 * kDay,  182 * kDay, 364 * kDay, 728 * kDay, 1820 * kDay};
  const std::int64_t span = std::max<std::int64_t>(range.to - range.from, 1);
  std::int64_t step = kSteps[std::size(kSteps) - 1];
  for (std::int64_t candidate : kSteps) {
    if (span / candidate <= std::max(maxTicks, 1)) {
      step = candidate;
      break;
    }
  }
  std::vector<TimeTick> ticks;
  // Round to the step counted from midnight, or from a Monday for weeks.
  const std::int64_t origin = step % (7 * kDay) == 0 ? 4 * kDay : 0;
  std::int64_t t = range.from - (((range.from - origin) % step) + step) % step;
  if (t < range.from) t += step;
  for (; t <= range.to; t += step) {
    ticks.push_back({t, step >= 86400 ? dateText(t) : timeText(t).substr(5, 11)});
  }
  return ticks;
}

}  // namespace meterstation::trends
