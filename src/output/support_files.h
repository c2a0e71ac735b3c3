#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/station_names.h"

namespace meterstation {

inline constexpr int kDefaultsValueCount = 16;
inline constexpr int kMeterLines = 16;

// Default contents written by "Init": 329, 1168 and 553 bytes.
const std::string& defaultsFileText();
const std::string& meterTableText();
const std::string& billTemplateText();

// The lines of a text file without their line ends (CR LF, CR or LF); a
// last line without a line end counts when it is not empty.
std::vector<std::string> fileLines(const std::string& bytes);
// The same lines as views into the bytes, for a reader that keeps the bytes.
std::vector<std::string_view> fileLineViews(std::string_view bytes);

// The values of "quell.dat" in file order, separated by spaces or line
// ends, as far as they are numbers and no more than sixteen.
struct DefaultsValues {
  std::vector<double> values;
  bool complete = false;  // all sixteen read
};
DefaultsValues parseDefaultsFile(const std::string& bytes);

// One line of "ct.dat", read at its fixed columns.
struct MeterEntry {
  std::string label;
  double ctSize = 0;
  double multiplier = 0;
  float volts = 0;
  double lowLimit = 0;
  double highLimit = 0;
};
MeterEntry parseMeterLine(std::string_view line);

// The first sixteen lines of "ct.dat", as far as the file has them.
struct MeterTable {
  std::vector<MeterEntry> entries;
  std::string lastLine;  // the last line read
};
MeterTable parseMeterTable(const std::string& bytes);

// The parse of the bytes last given, kept while they stay the same: the
// support files are read at every port choice and seldom change.
template <typename Parsed>
class ParsedBytes {
 public:
  template <typename Parse>
  const Parsed& of(const std::string& bytes, Parse parse) {
    if (!parsed_ || bytes != bytes_) {
      parsed_ = parse(bytes);
      bytes_ = bytes;
    }
    return *parsed_;
  }

 private:
  std::string bytes_;
  std::optional<Parsed> parsed_;
};

}  // namespace meterstation
