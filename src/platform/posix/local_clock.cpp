#include "platform/posix/local_clock.h"

#include <chrono>

namespace meterstation {

namespace {

std::string formatted(const std::tm& parts, const char* format) {
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, format, &parts);
  return std::string(text, length);
}

std::string formatted(std::time_t moment, const char* format) {
  std::tm parts{};
  if (localtime_r(&moment, &parts) == nullptr) return std::string();
  return formatted(parts, format);
}

}  // namespace

std::string localDateText(std::time_t moment) { return formatted(moment, "%m-%d-%Y"); }

std::string localTimeText(std::time_t moment) { return formatted(moment, "%H:%M:%S"); }

LocalMoment localMoment(std::time_t moment) {
  std::tm parts{};
  if (localtime_r(&moment, &parts) == nullptr) return {};
  return {formatted(parts, "%m-%d-%Y"), formatted(parts, "%H:%M:%S")};
}

LocalMoment LocalClock::now() { return localMoment(std::time(nullptr)); }

// The wall clock now, less the time that has passed on the monotonic clock
// since the moment: the two are read one right after the other.
LocalMoment LocalClock::momentAt(Instant at) {
  const auto wall = std::chrono::system_clock::now();
  const auto since = std::chrono::steady_clock::now() - at;
  const auto then = std::chrono::floor<std::chrono::seconds>(wall - since);
  return localMoment(std::chrono::system_clock::to_time_t(then));
}

}  // namespace meterstation
