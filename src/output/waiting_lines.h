#pragma once

#include <deque>
#include <map>
#include <string>

namespace meterstation {

// Lines that wait for their files, by the full path of each file, oldest
// first.
using WaitingLines = std::map<std::string, std::deque<std::string>>;

// The queue file's bytes: a heading line, then each line as
// "<path length> <line length>\n", the path, the line and "\n", so that
// any byte, CR LF and NUL included, comes back as it went in.
std::string encodeWaitingLines(const WaitingLines& lines);

struct DecodedWaitingLines {
  WaitingLines lines;
  // The bytes were not all records: what could be read is in `lines`.
  bool damaged = false;
};
DecodedWaitingLines decodeWaitingLines(const std::string& bytes);

}  // namespace meterstation
