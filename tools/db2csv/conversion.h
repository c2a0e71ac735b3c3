#pragma once

#include <string>
#include <vector>

#include "db2csv/options.h"

namespace meterstation::db2csv {

struct Conversion {
  std::string csv;
  // One message per odd line: "line N: why; why".
  std::vector<std::string> reports;
  std::size_t rows = 0;
};

// The CSV header: marker, datetime, meter and the eight fields.
std::string csvHeader();

// The whole database converted. Odd lines are reported whether or not the
// date filter takes them, so the operator hears of every damaged line;
// those whose date cannot be read are kept by --keep-odd only when no
// filter is given, since no range can hold them.
Conversion convert(const std::string& bytes, const Options& options);

}  // namespace meterstation::db2csv
