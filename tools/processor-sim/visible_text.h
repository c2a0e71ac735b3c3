#pragma once

#include <string>
#include <string_view>

namespace meterstation::sim {

// The text on one log line: printable ASCII as it is, "\r", "\n", "\t" and
// "\\" escaped, every other byte (NUL too) as "\xHH", always two digits so
// that a digit after it cannot be misread as part of it.
std::string visibleText(std::string_view bytes);

// "41 54 0d": each byte as two lower-case hex digits, one space between.
std::string hexBytes(std::string_view bytes);

}  // namespace meterstation::sim
