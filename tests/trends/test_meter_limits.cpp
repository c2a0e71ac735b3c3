#include <gtest/gtest.h>

#include "output/support_files.h"
#include "reading/alarm_check.h"
#include "trend_lines.h"
#include "trends/core/meter_limits.h"

namespace meterstation::trends::testing {
namespace {

std::string table(const std::vector<std::pair<std::string, std::string>>& limits) {
  std::string bytes;
  for (std::size_t m = 1; m <= limits.size(); ++m) {
    bytes += meterTableLine(static_cast<int>(m), limits[m - 1].first, limits[m - 1].second);
  }
  return bytes;
}

TEST(MeterLimits, SwitchedOnAndOffAsTheAlarmCheckHasIt) {
  const LimitTable t = limitsFromMeterTable(table({{"000", "999"},
                                                   {"050", "200"},
                                                   {"001", "254"},
                                                   {"100", "255"},
                                                   {"000", "000"},
                                                   {"-05", "300"},
                                                   {"300", "100"},
                                                   {"abc", "2x5"}}));
  EXPECT_TRUE(t.found);
  EXPECT_EQ(t.lines, 8);
  const auto& m = t.meters;
  EXPECT_FALSE(m[1].lowOn);  // the defaults Init writes: both off
  EXPECT_FALSE(m[1].highOn);
  EXPECT_TRUE(m[2].lowOn && m[2].highOn);
  EXPECT_EQ(m[2].low, 50);
  EXPECT_EQ(m[2].high, 200);
  EXPECT_TRUE(m[3].lowOn && m[3].highOn);  // the edges that still switch on
  EXPECT_TRUE(m[4].lowOn);
  EXPECT_FALSE(m[4].highOn);  // 255 and above: off
  EXPECT_FALSE(m[5].lowOn || m[5].highOn);
  EXPECT_FALSE(m[6].lowOn);  // below 0: off
  EXPECT_TRUE(m[7].lowOn && m[7].highOn);
  EXPECT_FALSE(m[8].lowOn);  // no number at all reads as 0
  EXPECT_TRUE(m[8].highOn);  // "2x5" reads as 2, as the station reads it
  EXPECT_EQ(m[8].high, 2);
  // Meters the file has no line for have no limits.
  EXPECT_FALSE(m[9].lowOn || m[9].highOn);
  EXPECT_FALSE(m[16].lowOn || m[16].highOn);
}

TEST(MeterLimits, MarkedValuesAreExactlyThoseTheStationRaisesAnAlarmFor) {
  const std::string bytes = table({{"050", "200"},
                                   {"000", "254"},
                                   {"120", "999"},
                                   {"300", "100"},
                                   {"1.5", "2.5"},
                                   {"000", "999"}});
  const LimitTable t = limitsFromMeterTable(bytes);
  std::array<double, kMeterSlots> low{};
  std::array<double, kMeterSlots> high{};
  for (int m = 1; m <= 6; ++m) {
    low[static_cast<std::size_t>(m)] =
        parseMeterLine(fileLines(bytes)[static_cast<std::size_t>(m - 1)]).lowLimit;
    high[static_cast<std::size_t>(m)] =
        parseMeterLine(fileLines(bytes)[static_cast<std::size_t>(m - 1)]).highLimit;
  }
  for (int m = 1; m <= 6; ++m) {
    for (double v = -2; v <= 1000; v += 0.5) {
      const AlarmDecision d = checkAlarm(m, v, low, high);
      ASSERT_EQ(beyondLimits(t.meters[static_cast<std::size_t>(m)], v), d.high || d.low)
          << "meter " << m << " value " << v;
    }
  }
}

TEST(MeterLimits, ShortOrEmptyTableGivesLimitsOnlyToItsLines) {
  const LimitTable empty = limitsFromMeterTable("");
  EXPECT_TRUE(empty.found);
  EXPECT_EQ(empty.lines, 0);
  const LimitTable garbage = limitsFromMeterTable(std::string(5000, '\0') + "\r\n\xff\xfe");
  EXPECT_EQ(garbage.lines, 2);
  for (int m = 1; m <= 16; ++m) EXPECT_FALSE(garbage.meters[static_cast<std::size_t>(m)].highOn);
}

}  // namespace
}  // namespace meterstation::trends::testing
