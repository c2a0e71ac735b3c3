#include "trends/core/stamp_time.h"

#include <cstdio>

#include "dbline/db_line.h"

namespace meterstation::trends {

namespace {

int digitsAt(std::string_view text, std::size_t from, std::size_t count) {
  int value = 0;
  for (char c : text.substr(from, count)) value = value * 10 + (c - '0');
  return value;
}

struct Civil {
  std::int64_t year;
  int month;
  int day;
};

// Howard Hinnant's days-from-civil and its inverse, exact for every
// Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

Civil civilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

}  // namespace

std::optional<std::int64_t> stampSeconds(std::string_view stamp) {
  if (!dbline::isPlausibleStamp(stamp)) return std::nullopt;
  const std::int64_t day =
      daySeconds(digitsAt(stamp, 0, 4), digitsAt(stamp, 4, 2), digitsAt(stamp, 6, 2));
  return day + digitsAt(stamp, 8, 2) * std::int64_t{3600} +
         digitsAt(stamp, 10, 2) * std::int64_t{60} + digitsAt(stamp, 12, 2);
}

std::int64_t daySeconds(int year, int month, int day) {
  return daysFromCivil(year, month, day) * 86400;
}

std::string timeText(std::int64_t seconds) {
  const std::int64_t days = floorDiv(seconds, 86400);
  const std::int64_t rest = seconds - days * 86400;
  const Civil c = civilFromDays(days);
  const int daySecond = static_cast<int>(rest);
  char text[96];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02d:%02d:%02d",
                static_cast<long long>(c.year), c.month, c.day, daySecond / 3600,
                daySecond / 60 % 60, daySecond % 60);
  return text;
}

std::string dateText(std::int64_t seconds) { return timeText(seconds).substr(0, 10); }

}  // namespace meterstation::trends
