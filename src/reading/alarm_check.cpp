#include "reading/alarm_check.h"

#include <cmath>
#include <limits>

#include "text/text_util.h"

namespace meterstation {

namespace {

// Limits are read back from their decimal text, so an entry never filled
// counts as 0.
double limitOf(double entry) { return numericValue(decimalText(entry)); }

}  // namespace

AlarmDecision checkAlarm(std::optional<double> item1, std::optional<double> item2,
                         const std::array<double, kMeterSlots>& lowTable,
                         const std::array<double, kMeterSlots>& highTable) {
  AlarmDecision d;
  const double meter = item1.value_or(0);
  const double value = item2.value_or(0);
  const auto index = roundHalfEven(meter, std::numeric_limits<std::int16_t>::min(),
                                   std::numeric_limits<std::int16_t>::max());
  std::string meterShown;
  if (index) {
    d.meterIndex = *index;
    d.meterValid = *index >= 0 && *index < kMeterSlots;
    meterShown = decimalText(static_cast<double>(*index));
  } else {
    meterShown = decimalText(meter);
  }
  if (d.meterValid) {
    const auto slot = static_cast<std::size_t>(d.meterIndex);
    d.lowLimit = limitOf(lowTable[slot]);
    d.highLimit = static_cast<float>(limitOf(highTable[slot]));
    const auto high = static_cast<double>(d.highLimit);
    d.high = high < 255 && value > high && high != 0;
    d.low = d.lowLimit > 0 && value < d.lowLimit;
  }
  d.debugLine = " alarm " + meterShown + " " + decimalText(d.lowLimit) + " " +
                (item2 ? decimalText(*item2) : std::string()) + " " +
                decimalTextSingle(d.highLimit) + " ";
  return d;
}

std::string alarmText(const std::string& f1, const char* kind, const std::string& dateStamp,
                      const std::string& timeStamp) {
  return f1 + kind + dateStamp + timeStamp;
}

}  // namespace meterstation
