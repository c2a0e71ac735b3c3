#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace meterstation::trends {

// One line of alarmlog.txt: "05 low  qN0120261208135707".
struct AlarmMark {
  int meter = 0;  // 1 to 16
  bool high = false;
  std::int64_t time = 0;
};

struct AlarmLog {
  std::vector<AlarmMark> marks;
  std::size_t unreadable = 0;  // lines without a meter 01-16, a kind or a time
};

// The meter field stands first and may be longer than two characters (the
// station writes it as it came); the kind and the stamp are found from the
// end, where the station's fixed-width text always puts them.
AlarmLog parseAlarmLog(const std::string& bytes);

}  // namespace meterstation::trends
