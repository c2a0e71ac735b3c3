#pragma once

#include <string>
#include <vector>

namespace meterstation::db2csv {

// Every cell is quoted, so a spreadsheet keeps "00123" as text and a stray
// comma or quote inside an odd field cannot shift the columns.
std::string csvCell(const std::string& text);
// The cells joined with commas and CR LF, as RFC 4180 has it.
std::string csvRow(const std::vector<std::string>& cells);

}  // namespace meterstation::db2csv
