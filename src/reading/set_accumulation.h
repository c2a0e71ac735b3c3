#pragma once

#include <string>

#include "reading/reading_parser.h"

namespace meterstation {

inline constexpr int kReadingsPerSet = 16;
inline constexpr int kAnnounceReading = 15;
// The stamp's marker is fixed; the operator's marker replaces it only in
// the database line.
inline constexpr const char* kStampMarker = "qN01";

// The fields joined with commas, 40 characters when each has its width.
std::string readingTextOf(const Fields& fields);
// "qN01" and the date's digits as year, month, day (from mm-dd-yyyy).
std::string makeDateStamp(const std::string& dateText);
// The time's six digits (from hh:mm:ss).
std::string makeTimeStamp(const std::string& timeText);
// The reading's first 18 characters and CR LF.
std::string readingLogLine(const std::string& readingText);
// "hh:mm:ss mm-dd-yyyy" and CR LF.
std::string timeLogLine(const std::string& timeText, const std::string& dateText);

}  // namespace meterstation
