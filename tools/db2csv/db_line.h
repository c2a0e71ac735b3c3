#pragma once

#include <optional>
#include <string>
#include <vector>

namespace meterstation::db2csv {

inline constexpr std::size_t kLineLength = 676;
inline constexpr std::size_t kMetersPerLine = 16;
inline constexpr std::size_t kFieldsPerReading = 8;

// One line of the database as it stands in the file, without its CR LF.
struct RawLine {
  std::size_t number = 0;  // 1-based
  std::string text;
  bool torn = false;  // the file ended before its CR LF
};

// Cuts the file's bytes at CR LF. A lone CR or LF stays inside its line, as
// the station never writes one on its own.
std::vector<RawLine> splitLines(const std::string& bytes);

// One meter's reading of a set, its fields exactly as the line holds them.
struct MeterRow {
  std::string meter;  // the first field, "01".."16" on a good line
  std::vector<std::string> fields;
  bool meterInRange = false;
};

struct ParsedLine {
  std::string marker;                  // columns 1-4
  std::string stamp;                   // columns 5-18, yyyymmddhhmmss
  std::optional<std::string> isoTime;  // nullopt when the stamp is no time
  std::vector<MeterRow> rows;
  // Why the line is not as the station writes it; empty for a good line.
  std::vector<std::string> problems;
};

// A line of the expected length is taken by columns, so a comma inside the
// last field of a reading cannot shift the meters after it; a line of
// another length only has its commas to go by, eight fields to a reading.
ParsedLine parseLine(const RawLine& line);

// "2026-12-08T06:19:16" from "20261208061916"; nullopt unless the text is
// fourteen digits of a plausible date and time.
std::optional<std::string> isoTimeOf(const std::string& stamp);

// "20261208" from "2026-12-08"; nullopt unless it is a date in that form.
std::optional<std::string> dateKeyOf(const std::string& isoDate);

}  // namespace meterstation::db2csv
