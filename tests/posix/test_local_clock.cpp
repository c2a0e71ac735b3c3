#include <chrono>
#include <cstdlib>
#include <ctime>
#include <regex>

#include <gtest/gtest.h>

#include "platform/posix/local_clock.h"

namespace meterstation {
namespace {

// Sets a time zone for one test and puts the old one back.
class ZoneScope {
 public:
  explicit ZoneScope(const char* zone) {
    const char* old = std::getenv("TZ");
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ZoneScope() {
    if (hadOld_) {
      ::setenv("TZ", old_.c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

 private:
  bool hadOld_ = false;
  std::string old_;
};

TEST(LocalClockTest, FormatsMonthDayYearAndTheTwentyFourHourClock) {
  ZoneScope utc("UTC0");
  EXPECT_EQ(localDateText(1796710756), "12-08-2026");
  EXPECT_EQ(localTimeText(1796710756), "06:19:16");
  EXPECT_EQ(localTimeText(1796710756 + 12 * 3600), "18:19:16");
  EXPECT_EQ(localDateText(1796710756 + 18 * 3600), "12-09-2026");
  const LocalMoment midnight = localMoment(1796774400);
  EXPECT_EQ(midnight.date, "12-09-2026");
  EXPECT_EQ(midnight.time, "00:00:00");
}

// A moment just past is the wall clock less the time since: 90 s ago is
// 90 s before the wall clock's now, to the second.
TEST(LocalClockTest, AMomentJustPastIsTheWallClockLessTheTimeSince) {
  ZoneScope utc("UTC0");
  LocalClock clock;
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::time_t before = std::time(nullptr);
    const LocalMoment then =
        clock.momentAt(std::chrono::steady_clock::now() - std::chrono::seconds(90));
    if (std::time(nullptr) != before) continue;
    // The moment lies a little more than 90 s back: in the second 90 or 91
    // before the one that stood still.
    EXPECT_TRUE(then.time == localTimeText(before - 90) || then.time == localTimeText(before - 91))
        << then.time;
    EXPECT_EQ(then.date, localDateText(before - 90));
    return;
  }
  FAIL() << "the clock never stood still for a second";
}

TEST(LocalClockTest, ShowsTheLocalZoneAsTheCLibrarySeesIt) {
  // Far enough from UTC that the date differs for part of every day.
  ZoneScope zone("XST-13:45");
  LocalClock clock;
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::time_t before = std::time(nullptr);
    const LocalMoment now = clock.now();
    const LocalMoment then = clock.momentAt(std::chrono::steady_clock::now());
    if (std::time(nullptr) != before) continue;  // the second turned over meanwhile
    const std::string& date = now.date;
    const std::string& time = now.time;
    EXPECT_EQ(then.date, date);
    EXPECT_TRUE(then.time == time || then.time == localTimeText(before - 1)) << then.time;

    std::tm local{};
    ASSERT_NE(localtime_r(&before, &local), nullptr);
    char expectedDate[16];
    char expectedTime[16];
    std::strftime(expectedDate, sizeof expectedDate, "%m-%d-%Y", &local);
    std::strftime(expectedTime, sizeof expectedTime, "%H:%M:%S", &local);
    EXPECT_EQ(date, expectedDate);
    EXPECT_EQ(time, expectedTime);
    EXPECT_TRUE(
        std::regex_match(date, std::regex(R"((0[1-9]|1[0-2])-(0[1-9]|[12]\d|3[01])-\d{4})")));
    EXPECT_TRUE(std::regex_match(time, std::regex(R"(([01]\d|2[0-3]):[0-5]\d:[0-5]\d)")));
    return;
  }
  FAIL() << "the clock never stood still for a second";
}

}  // namespace
}  // namespace meterstation
