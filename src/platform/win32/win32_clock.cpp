#include "platform/win32/win32_clock.h"

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace meterstation {

namespace {

// FILETIME counts in these.
using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;

}  // namespace

LocalMoment momentOf(const SYSTEMTIME& local) {
  char date[16];
  char time[16];
  std::snprintf(date, sizeof date, "%02u-%02u-%04u", local.wMonth, local.wDay, local.wYear);
  std::snprintf(time, sizeof time, "%02u:%02u:%02u", local.wHour, local.wMinute, local.wSecond);
  return {date, time};
}

LocalMoment Win32Clock::now() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  return momentOf(local);
}

// The wall clock now, less the time that has passed on the monotonic clock
// since the moment: the two are read one right after the other. The zone's
// rule for that moment makes it local, so a moment before a change to or
// from summer time keeps the hour it had.
LocalMoment Win32Clock::momentAt(Instant at) {
  FILETIME wall{};
  GetSystemTimePreciseAsFileTime(&wall);
  const auto since = std::chrono::ceil<Ticks>(std::chrono::steady_clock::now() - at);
  ULARGE_INTEGER ticks{};
  ticks.LowPart = wall.dwLowDateTime;
  ticks.HighPart = wall.dwHighDateTime;
  ticks.QuadPart -= static_cast<std::uint64_t>(since.count());
  const FILETIME then{ticks.LowPart, ticks.HighPart};
  SYSTEMTIME universal{};
  SYSTEMTIME local{};
  if (!FileTimeToSystemTime(&then, &universal) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) {
    return {};
  }
  return momentOf(local);
}

}  // namespace meterstation
