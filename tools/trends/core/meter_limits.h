#pragma once

#include <array>
#include <string>

#include "trends/core/trend_data.h"

namespace meterstation::trends {

// One meter's alarm limits as the station's alarm check applies them.
struct MeterLimits {
  bool lowOn = false;
  bool highOn = false;
  double low = 0;
  double high = 0;
};

struct LimitTable {
  bool found = false;                             // a ct.dat was there to read
  int lines = 0;                                  // meter lines it had, at most 16
  std::array<MeterLimits, kMeters + 1> meters{};  // 1 to 16; 0 unused
};

// Reads ct.dat with the station's own line parser and asks the station's
// own alarm check which limits are switched on, so a line is drawn exactly
// where an alarm would be raised. Meters beyond the file's lines have no
// limits, as in a station that loads that file.
LimitTable limitsFromMeterTable(const std::string& bytes);

// The value raises an alarm of this meter: the point is marked.
bool beyondLimits(const MeterLimits& limits, double value);

}  // namespace meterstation::trends
