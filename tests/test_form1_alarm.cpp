#include <gtest/gtest.h>

#include "fakes/station_harness.h"
#include "output/support_files.h"

namespace meterstation::testing {
namespace {

class Form1Alarm : public ::testing::Test {
 protected:
  void SetUp() override {
    s.window.texts[TextId::Text3] = "5";
    s.openPort();
    s.synchronise();
  }
  void limits(int meter, double low, double high) {
    s.form.state().lowTable[static_cast<std::size_t>(meter)] = low;
    s.form.state().highTable[static_cast<std::size_t>(meter)] = high;
  }
  std::vector<std::string> alarms() const {
    std::vector<std::string> out;
    for (const std::string& item : s.window.list2) {
      if (item.find(" high ") == 2 || item.find(" low  ") == 2) out.push_back(item);
    }
    return out;
  }
  std::string alarmLog() { return s.files.contents(s.workFile("alarmlog.txt")); }
  StationHarness s;
};

TEST_F(Form1Alarm, NoTableNoAlarmAndTheDebugLineShowsZeros) {
  s.window.checks[CheckId::Check1] = 1;
  s.burst(readingOf(3, 123));
  EXPECT_EQ(s.window.list2.back(), " alarm 3 0 123 0 ");
  EXPECT_TRUE(alarms().empty());
  EXPECT_FALSE(s.files.exists(s.workFile("alarmlog.txt")));
}

TEST_F(Form1Alarm, HighLimitIsStrict) {
  limits(2, 0, 200);
  s.burst(readingOf(2, 200));
  EXPECT_TRUE(alarms().empty());
  s.clock.time = "07:08:09";
  s.burst(readingOf(2, 201));
  EXPECT_EQ(alarms(), std::vector<std::string>{"02 high qN0120261208070809"});
  EXPECT_EQ(alarmLog(), "02 high qN0120261208070809\r\n");
}

TEST_F(Form1Alarm, HighLimitOfZeroOr255AndAboveIsOff) {
  limits(4, 0, 255);
  limits(5, 0, 0);
  limits(6, 0, 999);
  s.burst(readingOf(4, 999));
  s.burst(readingOf(5, 999));
  s.burst(readingOf(6, 999));
  EXPECT_TRUE(alarms().empty());
}

TEST_F(Form1Alarm, LowLimitIsStrict) {
  limits(7, 50, 0);
  s.burst(readingOf(7, 50));
  EXPECT_TRUE(alarms().empty());
  s.burst(readingOf(7, 49));
  EXPECT_EQ(alarms(), std::vector<std::string>{"07 low  qN0120261208061916"});
}

TEST_F(Form1Alarm, CrossedLimitsRaiseBothHighFirst) {
  limits(8, 300, 100);
  s.burst(readingOf(8, 200));
  EXPECT_EQ(alarms(),
            (std::vector<std::string>{"08 high qN0120261208061916", "08 low  qN0120261208061916"}));
  EXPECT_EQ(alarmLog(), "08 high qN0120261208061916\r\n08 low  qN0120261208061916\r\n");
}

TEST_F(Form1Alarm, MetersZeroAndSeventeenNeverAlarmAndOutOfRangeMetersAreSkipped) {
  s.window.checks[CheckId::Check1] = 1;
  s.burst("00,123,04567,12345,089,00012,00345,12345\r\n");
  s.burst("17,123,04567,12345,089,00012,00345,12345\r\n");
  EXPECT_TRUE(s.window.list2Has(" alarm 0 0 123 0 "));
  EXPECT_TRUE(s.window.list2Has(" alarm 17 0 123 0 "));
  s.burst("99,123,04567,12345,089,00012,00345,12345\r\n");
  s.burst("-1,123,04567,12345,089,00012,00345,12345\r\n");
  s.burst("99999999,123,04567,12345,089,00012,00345,12345\r\n");
  EXPECT_TRUE(s.window.list2Has(" alarm 99 0 123 0 "));
  EXPECT_TRUE(s.window.list2Has(" alarm -1 0 123 0 "));
  EXPECT_TRUE(s.window.list2Has(" alarm 99999999 0 123 0 "));
  EXPECT_EQ(s.form.state().lineCount, 5);
  EXPECT_TRUE(alarms().empty());
}

TEST_F(Form1Alarm, ScratchWayChecksTooAndShowsAnEmptyValue) {
  s.window.checks[CheckId::Check2] = 0;
  s.window.checks[CheckId::Check1] = 1;
  limits(3, 10, 0);
  s.burst("03,,04567,12345,089,00012,00345,12345\r\n");
  EXPECT_TRUE(s.window.list2Has(" alarm 3 10  0 "));
  EXPECT_EQ(alarms(), std::vector<std::string>{"03 low  qN0120261208061916"});
}

TEST_F(Form1Alarm, MeterTableLoadedAtThePortChoiceArmsTheCheck) {
  std::string table = meterTableText();
  // Meter 2: low 050, high 200.
  table.replace(73 + 40, 7, "050,200");
  s.files.files[s.workFile("ct.dat")] = table;
  s.openPort();
  EXPECT_EQ(s.form.state().highTable[2], 200);
  s.burst(readingOf(2, 250));
  s.burst(readingOf(2, 20));
  s.burst(readingOf(1, 5000 % 1000));
  EXPECT_EQ(alarms(),
            (std::vector<std::string>{"02 high qN0120261208061916", "02 low  qN0120261208061916"}));
}

}  // namespace
}  // namespace meterstation::testing
