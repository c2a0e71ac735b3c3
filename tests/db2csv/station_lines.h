#pragma once

#include <string>
#include <vector>

#include "output/db_record.h"
#include "output/set_files.h"
#include "reading/reading_parser.h"
#include "reading/set_accumulation.h"

namespace meterstation::db2csv::testing {

// A reading's fields as the station keeps them: zero-filled to their widths.
inline Fields fieldsOf(int meter, int value = 123, const std::string& last = "12345") {
  Fields f = {
      std::to_string(meter), std::to_string(value), "4567", "12345", "89", "12", "345", last};
  zeroFill(f);
  return f;
}

// The database line (with its CR LF) the station appends for a set whose
// readings arrived in this order, made by the station's own builders.
inline std::string stationLine(const std::vector<Fields>& readings,
                               const std::string& marker = "qN07",
                               const std::string& date = "12-08-2026",
                               const std::string& time = "06:19:16") {
  std::string snapshot = makeDateStamp(date) + makeTimeStamp(time);
  for (const Fields& f : readings) snapshot += "," + readingTextOf(f);
  std::string record = buildDbRecord(snapshot, marker);
  restoreTailSpace(record);
  return record + "\r\n";
}

// A whole set, meters 1 to 16 in order, each with value 100 + meter.
inline std::string fullSetLine(const std::string& marker = "qN07",
                               const std::string& date = "12-08-2026",
                               const std::string& time = "06:19:16") {
  std::vector<Fields> readings;
  for (int m = 1; m <= 16; ++m) readings.push_back(fieldsOf(m, 100 + m));
  return stationLine(readings, marker, date, time);
}

}  // namespace meterstation::db2csv::testing
