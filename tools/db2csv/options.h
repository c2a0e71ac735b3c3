#pragma once

#include <optional>
#include <string>
#include <vector>

namespace meterstation::db2csv {

struct Options {
  std::string inputPath = "qn.db1";
  std::string outputPath;              // empty: standard output
  std::optional<std::string> fromKey;  // yyyymmdd, inclusive
  std::optional<std::string> toKey;    // yyyymmdd, inclusive
  bool keepOdd = false;
  bool help = false;
};

struct ParsedOptions {
  bool ok = true;
  Options options;
  std::string error;  // one sentence naming what is wrong
};

// The command line without the program name. "--from DATE" and
// "--from=DATE" are both taken.
ParsedOptions parseOptions(const std::vector<std::string>& args);

std::string helpText();

}  // namespace meterstation::db2csv
