#include "reading/set_accumulation.h"

#include "text/text_util.h"

namespace meterstation {

std::string readingTextOf(const Fields& fields) {
  std::string text;
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

std::string readingLogLine(const std::string& readingText) {
  return piece(readingText, 1, 18) + "\r\n";
}

std::string timeLogLine(const std::string& timeText, const std::string& dateText) {
  return timeText + " " + dateText + "\r\n";
}

}  // namespace meterstation
