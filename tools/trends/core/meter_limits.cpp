#include "trends/core/meter_limits.h"

#include <vector>

#include "output/support_files.h"
#include "reading/alarm_check.h"

namespace meterstation::trends {

namespace {

// Far beyond any limit a table can hold: only a switched-off test stays
// quiet for these.
constexpr double kFarAbove = 1e300;
constexpr double kFarBelow = -1e300;

}  // namespace

LimitTable limitsFromMeterTable(const std::string& bytes) {
  LimitTable table;
  table.found = true;
  std::array<double, kMeterSlots> lowTable{};
  std::array<double, kMeterSlots> highTable{};
  const std::vector<std::string> lines = fileLines(bytes);
  for (int m = 1; m <= kMeters && static_cast<std::size_t>(m) <= lines.size(); ++m) {
    const MeterEntry entry = parseMeterLine(lines[static_cast<std::size_t>(m - 1)]);
    lowTable[static_cast<std::size_t>(m)] = entry.lowLimit;
    highTable[static_cast<std::size_t>(m)] = entry.highLimit;
    table.lines = m;
  }
  for (int m = 1; m <= kMeters; ++m) {
    const AlarmDecision above = checkAlarm(m, kFarAbove, lowTable, highTable);
    const AlarmDecision below = checkAlarm(m, kFarBelow, lowTable, highTable);
    MeterLimits& limits = table.meters[static_cast<std::size_t>(m)];
    limits.highOn = above.high;
    limits.lowOn = below.low;
    limits.high = static_cast<double>(above.highLimit);
    limits.low = above.lowLimit;
  }
  return table;
}

bool beyondLimits(const MeterLimits& limits, double value) {
  return (limits.highOn && value > limits.high) || (limits.lowOn && value < limits.low);
}

}  // namespace meterstation::trends
