#include "trends/core/alarm_log.h"

#include <optional>

#include "output/support_files.h"
#include "trends/core/stamp_time.h"

namespace meterstation::trends {

namespace {

constexpr std::size_t kKindWidth = 6;
constexpr std::size_t kTailWidth = kKindWidth + 4 + 14;  // kind, "qN01", stamp

std::optional<AlarmMark> markOf(const std::string& line) {
  if (line.size() < kTailWidth + 1) return std::nullopt;
  const std::size_t kindAt = line.size() - kTailWidth;
  const std::string kind = line.substr(kindAt, kKindWidth);
  if (kind != " high " && kind != " low  ") return std::nullopt;
  const std::string meter = line.substr(0, kindAt);
  if (meter.size() != 2 || meter[0] < '0' || meter[0] > '1' || meter[1] < '0' || meter[1] > '9') {
    return std::nullopt;
  }
  const int number = (meter[0] - '0') * 10 + (meter[1] - '0');
  const std::optional<std::int64_t> time =
      stampSeconds(std::string_view(line).substr(line.size() - 14));
  if (number < 1 || number > 16 || !time) return std::nullopt;
  return AlarmMark{number, kind == " high ", *time};
}

}  // namespace

AlarmLog parseAlarmLog(const std::string& bytes) {
  AlarmLog log;
  for (const std::string& line : fileLines(bytes)) {
    if (line.empty()) continue;
    if (const auto mark = markOf(line)) {
      log.marks.push_back(*mark);
    } else {
      ++log.unreadable;
    }
  }
  return log;
}

}  // namespace meterstation::trends
