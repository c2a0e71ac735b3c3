#pragma once

#include <string>
#include <vector>

namespace meterstation::testsupport {

// One burst of processor-sim's --log: its kind (sync, reading, garbage...)
// and its text with the log's escapes undone.
struct LoggedBurst {
  std::string kind;
  std::string text;
};

inline std::string unescapeLogText(const std::string& shown) {
  std::string out;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] != '\\' || i + 1 >= shown.size()) {
      out += shown[i];
      continue;
    }
    const char c = shown[++i];
    if (c == 'r') {
      out += '\r';
    } else if (c == 'n') {
      out += '\n';
    } else if (c == 't') {
      out += '\t';
    } else if (c == 'x' && i + 2 < shown.size()) {
      out += static_cast<char>(std::stoi(shown.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

// The bursts of a log, in the order they were sent; notes ("# ...") and the
// summary are left out.
inline std::vector<LoggedBurst> loggedBursts(const std::string& log) {
  std::vector<LoggedBurst> bursts;
  std::size_t at = 0;
  while (at < log.size()) {
    std::size_t end = log.find('\n', at);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(at, end - at);
    at = end + 1;
    // "<seconds> <kind> <text>"
    const std::size_t kindAt = line.find(' ');
    if (kindAt == std::string::npos) continue;
    const std::size_t textAt = line.find(' ', kindAt + 1);
    if (textAt == std::string::npos) continue;
    const std::string kind = line.substr(kindAt + 1, textAt - kindAt - 1);
    if (kind == "#" || kind == "summary") continue;
    bursts.push_back({kind, unescapeLogText(line.substr(textAt + 1))});
  }
  return bursts;
}

}  // namespace meterstation::testsupport
