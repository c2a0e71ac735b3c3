#include "db2csv/conversion.h"

#include "db2csv/csv_text.h"
#include "db2csv/db_line.h"

namespace meterstation::db2csv {

namespace {

bool inRange(const ParsedLine& line, const Options& options) {
  if (!options.fromKey && !options.toKey) return true;
  if (!line.isoTime) return false;
  const std::string key = line.stamp.substr(0, 8);
  if (options.fromKey && key < *options.fromKey) return false;
  if (options.toKey && key > *options.toKey) return false;
  return true;
}

std::string reportOf(const RawLine& raw, const ParsedLine& parsed, bool kept) {
  std::string text = "line " + std::to_string(raw.number) + ": ";
  for (std::size_t i = 0; i < parsed.problems.size(); ++i) {
    if (i > 0) text += "; ";
    text += parsed.problems[i];
  }
  text += kept ? " (kept)" : " (skipped)";
  return text;
}

}  // namespace

std::string csvHeader() {
  std::vector<std::string> cells = {"marker", "datetime", "meter"};
  for (std::size_t k = 1; k <= kFieldsPerReading; ++k) cells.push_back("field" + std::to_string(k));
  return csvRow(cells);
}

Conversion convert(const std::string& bytes, const Options& options) {
  Conversion result;
  result.csv = csvHeader();
  for (const RawLine& raw : splitLines(bytes)) {
    const ParsedLine parsed = parseLine(raw);
    const bool odd = !parsed.problems.empty();
    const bool wanted = inRange(parsed, options) && (!odd || options.keepOdd);
    if (odd) result.reports.push_back(reportOf(raw, parsed, wanted));
    if (!wanted) continue;
    const std::string when = parsed.isoTime ? *parsed.isoTime : parsed.stamp;
    for (const MeterRow& row : parsed.rows) {
      std::vector<std::string> cells = {parsed.marker, when, row.meter};
      cells.insert(cells.end(), row.fields.begin(), row.fields.end());
      // A short odd reading still fills every column, so the rows line up.
      cells.resize(3 + kFieldsPerReading);
      result.csv += csvRow(cells);
      ++result.rows;
    }
  }
  return result;
}

}  // namespace meterstation::db2csv
