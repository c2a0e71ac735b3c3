#include "reading/set_accumulation.h"

#include <algorithm>

#include "text/text_util.h"

namespace meterstation {

std::string readingTextOf(const Fields& fields) {
  std::size_t length = fields.size() - 1;
  for (const std::string& field : fields) length += field.size();
  std::string text;
  text.reserve(length);  // every reading builds it: one allocation
  for (std::size_t k = 0; k < fields.size(); ++k) {
    if (k > 0) text += ',';
    text += fields[k];
  }
  return text;
}

std::string makeDateStamp(const std::string& dateText) {
  return kStampMarker + piece(dateText, 7, 4) + piece(dateText, 1, 2) + piece(dateText, 4, 2);
}

std::string makeTimeStamp(const std::string& timeText) {
  return piece(timeText, 1, 2) + piece(timeText, 4, 2) + piece(timeText, 7, 2);
}

// Both lines are built for every reading, each in one allocation.
std::string readingLogLine(const std::string& readingText) {
  constexpr std::size_t kKept = 18;
  std::string line;
  line.reserve(std::min(readingText.size(), kKept) + 2);
  line.append(readingText, 0, kKept);
  line += "\r\n";
  return line;
}

std::string timeLogLine(const std::string& timeText, const std::string& dateText) {
  std::string line;
  line.reserve(timeText.size() + 1 + dateText.size() + 2);
  line += timeText;
  line += ' ';
  line += dateText;
  line += "\r\n";
  return line;
}

}  // namespace meterstation
