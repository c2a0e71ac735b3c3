#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The database line as the station writes it, read by every tool that
// reads "qn.db1", so they agree on which lines are odd and why.
namespace meterstation::dbline {

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

// A good line's pieces, pointing into the line's text.
struct GoodLine {
  std::string_view marker;
  std::string_view stamp;
  std::array<std::array<std::string_view, kFieldsPerReading>, kMetersPerLine> fields;
};

// True, with `out` filled, exactly when parseLine would find no problem.
// It allocates nothing, so a year of lines goes through it in a fraction
// of the time; for any other line parseLine says why it is odd.
bool readGoodLine(std::string_view text, bool torn, GoodLine& out);

// Fourteen digits of a plausible date and time, yyyymmddhhmmss.
bool isPlausibleStamp(std::string_view stamp);

// "2026-12-08T06:19:16" from "20261208061916"; nullopt unless the text is
// fourteen digits of a plausible date and time.
std::optional<std::string> isoTimeOf(const std::string& stamp);

// "20261208" from "2026-12-08"; nullopt unless it is a date in that form.
std::optional<std::string> dateKeyOf(const std::string& isoDate);

}  // namespace meterstation::dbline
