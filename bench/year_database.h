#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace meterstation::bench {

// A busy processor's year: one set every 55 s, 570,000 lines, 386 MB.
inline constexpr std::size_t kYearSets = 570000;

// The database line of set `index` (with its CR LF), made by the station's
// own record builder from sixteen readings in a shuffled arrival order.
// Field 2 wanders slowly per meter and now and then leaves 100 to 900, so
// limits are crossed; the other fields change from set to set.
std::string yearLine(std::size_t index);

// The time of set `index`: 2026-01-01 00:00:00 plus 55 s a set.
std::int64_t yearSetTime(std::size_t index);

// Writes the first `sets` lines to path unless a file of exactly their
// size is there already (the lines never change, so a file made by an
// earlier run is reused). False when it cannot be written.
bool ensureYearDatabase(const std::string& path, std::size_t sets);

}  // namespace meterstation::bench
