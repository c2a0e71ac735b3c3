#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace meterstation::bench {

// How the station cut a run of sound readings (42 bytes each, CR LF
// last), the synchronising burst first and left out.
struct Framing {
  int whole = 0;
  int merged = 0;  // inputs that held more than one reading
  int split = 0;   // inputs that held less than one
};

inline Framing framingOf(const std::vector<std::string>& inputs, int readings) {
  Framing f;
  for (std::size_t i = 1; i < inputs.size() && i <= static_cast<std::size_t>(readings); ++i) {
    const std::size_t size = inputs[i].size();
    if (size == 42 && inputs[i].ends_with("\r\n")) {
      ++f.whole;
    } else if (size > 42) {
      ++f.merged;
    } else {
      ++f.split;
    }
  }
  return f;
}

}  // namespace meterstation::bench
