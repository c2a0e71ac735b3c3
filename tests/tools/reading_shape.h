#pragma once

#include <cctype>
#include <string>
#include <vector>

// The processor's reading as the station expects it, checked independently
// of the generator: eight digit fields of widths 2,3,5,5,3,5,5,5 and CR LF.
inline std::vector<std::string> splitFields(const std::string& body) {
  std::vector<std::string> fields(1);
  for (const char c : body) {
    if (c == ',')
      fields.emplace_back();
    else
      fields.back() += c;
  }
  return fields;
}

inline bool isValidReading(const std::string& text) {
  static const int widths[] = {2, 3, 5, 5, 3, 5, 5, 5};
  if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) return false;
  const std::vector<std::string> fields = splitFields(text.substr(0, text.size() - 2));
  if (fields.size() != 8) return false;
  for (std::size_t i = 0; i < 8; ++i) {
    if (static_cast<int>(fields[i].size()) != widths[i]) return false;
    for (const char c : fields[i])
      if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  const int meter = std::stoi(fields[0]);
  return meter >= 1 && meter <= 16 && std::stoi(fields[7]) >= 10000;
}

inline int meterOf(const std::string& text) { return std::stoi(text.substr(0, 2)); }
