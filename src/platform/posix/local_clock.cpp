#include "platform/posix/local_clock.h"

namespace meterstation {

namespace {

std::string formatted(std::time_t moment, const char* format) {
  std::tm parts{};
  if (localtime_r(&moment, &parts) == nullptr) return std::string();
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, format, &parts);
  return std::string(text, length);
}

}  // namespace

std::string localDateText(std::time_t moment) { return formatted(moment, "%m-%d-%Y"); }

std::string localTimeText(std::time_t moment) { return formatted(moment, "%H:%M:%S"); }

std::string LocalClock::dateText() { return localDateText(std::time(nullptr)); }

std::string LocalClock::timeText() { return localTimeText(std::time(nullptr)); }

}  // namespace meterstation
