#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace meterstation::trends {

// The station stamps sets with the local clock and no zone, so times are
// kept as such: seconds counted as if the stamp were UTC. A day is always
// 86400 s on this axis and a stamp comes back as the same digits, whatever
// the zone or summer time of the machine that draws it.
std::optional<std::int64_t> stampSeconds(std::string_view stamp);

// Seconds of yyyy-mm-dd 00:00:00 from a plain calendar date.
std::int64_t daySeconds(int year, int month, int day);

// "2026-12-08 13:58:37".
std::string timeText(std::int64_t seconds);
// "2026-12-08".
std::string dateText(std::int64_t seconds);

}  // namespace meterstation::trends
