#include "db2csv/csv_text.h"

namespace meterstation::db2csv {

std::string csvCell(const std::string& text) {
  std::string cell = "\"";
  for (char c : text) {
    if (c == '"') cell += '"';
    cell += c;
  }
  cell += '"';
  return cell;
}

std::string csvRow(const std::vector<std::string>& cells) {
  std::string row;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) row += ',';
    row += csvCell(cells[i]);
  }
  row += "\r\n";
  return row;
}

}  // namespace meterstation::db2csv
