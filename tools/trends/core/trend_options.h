#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace meterstation::trends {

struct TrendOptions {
  std::string inputPath = "qn.db1";
  std::string exportPath;            // empty: open the window
  int field = 2;                     // 2 to 8
  int meter = 0;                     // 1 to 16 for one meter large; 0 all sixteen
  std::optional<std::int64_t> from;  // first second of the day, inclusive
  std::optional<std::int64_t> to;    // last second of the day, inclusive
  int width = 1600;
  int height = 1000;
  bool help = false;
};

struct ParsedTrendOptions {
  bool ok = true;
  TrendOptions options;
  std::string error;  // one sentence naming what is wrong
};

// The command line without the program name; "--field 3" and "--field=3"
// are both taken, as db2csv takes its options.
ParsedTrendOptions parseTrendOptions(const std::vector<std::string>& args);

std::string trendHelpText();

}  // namespace meterstation::trends
