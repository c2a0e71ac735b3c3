#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "text/station_names.h"

namespace meterstation {

inline constexpr const char* kHighKind = " high ";
inline constexpr const char* kLowKind = " low  ";

// The decision of one alarm check.
struct AlarmDecision {
  // False for a meter number outside 0 to 17 or not a finite number: it has
  // no table entry, so neither limit test runs.
  bool meterValid = false;
  std::int64_t meterIndex = 0;
  double lowLimit = 0;
  float highLimit = 0;
  bool high = false;
  bool low = false;
  // The line shown when "debug" is ticked.
  std::string debugLine;
};

// Checks a reading's value (item2) against the limits of its meter (item1).
// A high limit of 0, or of 255 and above, switches the high test off; a low
// limit of 0 or below switches the low test off.
AlarmDecision checkAlarm(std::optional<double> item1, std::optional<double> item2,
                         const std::array<double, kMeterSlots>& lowTable,
                         const std::array<double, kMeterSlots>& highTable);

// The meter field, the kind, and the reading's stamps.
std::string alarmText(const std::string& f1, const char* kind, const std::string& dateStamp,
                      const std::string& timeStamp);

}  // namespace meterstation
