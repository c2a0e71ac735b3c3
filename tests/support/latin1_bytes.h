#pragma once

#include <string>

namespace meterstation::testsupport {

// The bytes from..to, each a Latin-1 character, as the station keeps text.
inline std::string latin1Range(int from, int to) {
  std::string bytes;
  for (int b = from; b <= to; ++b) bytes.push_back(static_cast<char>(b));
  return bytes;
}

}  // namespace meterstation::testsupport
