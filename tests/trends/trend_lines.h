#pragma once

#include <string>
#include <vector>

#include "db2csv/station_lines.h"

namespace meterstation::trends::testing {

using db2csv::testing::fieldsOf;
using db2csv::testing::stationLine;

// A set whose meter m has value values[m-1] (all sixteen given), stamped
// on 2026-12-08 at hh:mm:ss, made by the station's own record builder.
inline std::string setLine(const std::vector<int>& values, const std::string& time) {
  std::vector<Fields> readings;
  for (int m = 1; m <= 16; ++m)
    readings.push_back(fieldsOf(m, values[static_cast<std::size_t>(m - 1)]));
  return stationLine(readings, "qN07", "12-08-2026", time);
}

// Every meter at the same value.
inline std::string flatLine(int value, const std::string& time) {
  return setLine(std::vector<int>(16, value), time);
}

// "06:00:00" plus minutes.
inline std::string minutesAfterSix(int minutes) {
  const int h = 6 + minutes / 60;
  const int m = minutes % 60;
  return (h < 10 ? "0" : "") + std::to_string(h) + ":" + (m < 10 ? "0" : "") + std::to_string(m) +
         ":00";
}

// A ct.dat line for meter m with these low and high columns.
inline std::string meterTableLine(int m, const std::string& low, const std::string& high) {
  std::string number = std::to_string(m);
  number.insert(0, 3 - number.size(), ' ');
  return number + " -" + std::string(20, ' ') + ",0020,1.00,120," + low + "," + high +
         std::string(23, ' ') + ".\r\n";
}

}  // namespace meterstation::trends::testing
