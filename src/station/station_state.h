#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "text/station_names.h"

namespace meterstation {

// The one record every procedure of the window reads and writes. The
// counters are 64-bit: an unattended station takes tens of thousands of
// readings a day and must never wrap.
struct StationState {
  std::int64_t lineCount = 0;
  std::int64_t obsCount = 0;
  std::int64_t tickCount = 0;
  double setsLeft = 0;
  double dbInterval = 0;
  double dbCountdown = 0;

  std::string workDir;
  std::string lastInput;
  std::array<std::int16_t, 7> commaPos{};
  std::string setRecord;
  std::string setSnapshot;
  std::string dbRecord;
  std::string readingLog;
  std::string timeLog;
  std::string ctLine;

  // Defaults values of "quell.dat"; nothing in the station reads them.
  std::array<double, 4> defaultsValues{};
  float defaultsValue5 = 0;

  // Per-meter tables, filled only from "ct.dat".
  std::array<std::string, kMeterSlots> meterLabel{};
  std::array<double, kMeterSlots> ctSize{};
  std::array<double, kMeterSlots> multiplier{};
  std::array<float, kMeterSlots> volts{};
  std::array<double, kMeterSlots> lowTable{};
  std::array<double, kMeterSlots> highTable{};

  // Limits of the meter of the reading being processed.
  double lowLimit = 0;
  float highLimit = 0;
};

}  // namespace meterstation
