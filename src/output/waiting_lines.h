#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>

namespace meterstation {

// Lines that wait for their files, by the full path of each file, oldest
// first.
using WaitingLines = std::map<std::string, std::deque<std::string>>;

// For a file whose first waiting line is being appended: the file's size
// before that append. After a crash it tells whether the line got there.
using Deliveries = std::map<std::string, std::uint64_t>;

// The queue file's bytes: a heading line, then each line as
// "<path length> <line length>\n", the path, the line and "\n", so that
// any byte, CR LF and NUL included, comes back as it went in; a delivery
// as "D <path length> <size>\n", the path and "\n".
std::string encodeWaitingLines(const WaitingLines& lines, const Deliveries& deliveries = {});

struct DecodedWaitingLines {
  WaitingLines lines;
  Deliveries deliveries;
  // The bytes were not all records: what could be read is in `lines`.
  bool damaged = false;
};
DecodedWaitingLines decodeWaitingLines(const std::string& bytes);

}  // namespace meterstation
