#include <gtest/gtest.h>

#include "trends/core/alarm_log.h"
#include "trends/core/stamp_time.h"

namespace meterstation::trends {
namespace {

TEST(AlarmLog, EachStationAlarmLineIsAMarkAndAnythingElseIsCounted) {
  const AlarmLog log = parseAlarmLog(
      "05 low  qN0120261208135707\r\n"
      "16 high qN0120261208135725\r\n"
      "\r\n"
      "017 high qN0120261208135725\r\n"  // a meter field as it came, too long
      "17 high qN0120261208135725\r\n"
      "03 hi   qN0120261208135725\r\n"
      "03 low  qN0120261308135725\r\n"  // month 13
      "03 low  qN01202612081357\r\n"
      "garbage\n"
      "09 low  qN0120261208000000");
  ASSERT_EQ(log.marks.size(), 3U);
  EXPECT_EQ(log.marks[0].meter, 5);
  EXPECT_FALSE(log.marks[0].high);
  EXPECT_EQ(log.marks[0].time, daySeconds(2026, 12, 8) + 13L * 3600 + 57L * 60 + 7);
  EXPECT_EQ(log.marks[1].meter, 16);
  EXPECT_TRUE(log.marks[1].high);
  EXPECT_EQ(log.marks[2].meter, 9);  // the last line without its line end
  EXPECT_EQ(log.unreadable, 6U);
}

}  // namespace
}  // namespace meterstation::trends
