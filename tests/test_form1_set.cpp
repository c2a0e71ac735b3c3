#include <gtest/gtest.h>

#include <algorithm>

#include "fakes/station_harness.h"

namespace meterstation::testing {
namespace {

std::string textOf(int meter, int value = 123) { return readingOf(meter, value).substr(0, 40); }

class Form1Set : public ::testing::Test {
 protected:
  void start(const std::string& obs) {
    s.window.texts[TextId::Text3] = obs;
    s.openPort();
    s.synchronise();
  }
  // Meters in the given order, one reading each; the time of each
  // reading is 08:00:<index>.
  void feed(const std::vector<int>& meters, int value = 123) {
    for (int m : meters) {
      char time[16];
      std::snprintf(time, sizeof time, "08:00:%02d", static_cast<int>(fed % 60));
      s.clock.time = time;
      ++fed;
      ASSERT_TRUE(s.burst(readingOf(m, value)));
    }
  }
  static std::vector<int> meters(int from, int to) {
    std::vector<int> out;
    for (int m = from; m <= to; ++m) out.push_back(m);
    return out;
  }
  StationHarness s;
  long fed = 0;
};

TEST_F(Form1Set, FifteenthReadingAnnouncesAndWritesNothing) {
  start("3");
  feed(meters(1, 14));
  EXPECT_EQ(s.window.lamp, kLampYellow);
  feed({15});
  EXPECT_EQ(s.window.lamp, kLampGreen);
  EXPECT_EQ(s.window.captions[LabelId::Label1], " Update pending ... ");
  EXPECT_FALSE(s.files.exists(s.workFile("qn.db1")));
  EXPECT_FALSE(s.files.exists(s.workFile("ct.tsr")));
}

TEST_F(Form1Set, SixteenthReadingCompletesTheSetWithExactFiles) {
  start("3");
  feed(meters(1, 16));
  std::string readings;
  std::string ct;
  std::string times;
  for (int m = 1; m <= 16; ++m) {
    readings += "," + textOf(m);
    ct += textOf(m).substr(0, 18) + "\r\n";
    char line[32];
    std::snprintf(line, sizeof line, "08:00:%02d 12-08-2026\r\n", m - 1);
    times += line;
  }
  EXPECT_EQ(s.form.state().setSnapshot,
            "qN01"
            "20261208"
            "080015" +
                readings);
  EXPECT_EQ(s.form.state().setSnapshot.size(), 674U);
  const std::string line =
      "qN07"
      "20261208"
      "080015" +
      readings + "  \r\n";
  EXPECT_EQ(s.files.contents(s.workFile("qn.db1")), line);
  EXPECT_EQ(line.size(), 678U);
  EXPECT_EQ(s.files.contents(s.workFile("ct.tsr")), ct + "\r\n");
  EXPECT_EQ(s.files.contents(s.workFile("ct.tsr")).size(), 322U);
  EXPECT_EQ(s.files.contents(s.workFile("usage.tsr")), ct);
  EXPECT_EQ(s.files.contents(s.workFile("quell2.tsr")), times + "\r\n");
  EXPECT_EQ(s.files.contents(s.workFile("quell2.tsr")).size(), 338U);

  EXPECT_EQ(s.form.state().lineCount, 0);
  EXPECT_EQ(s.form.state().obsCount, 1);
  EXPECT_EQ(s.window.captions[LabelId::Label4], "1");
  EXPECT_EQ(s.window.captions[LabelId::Label1], "We have a good reading ");
  EXPECT_EQ(s.window.texts[TextId::Text2], "16");
  EXPECT_EQ(s.window.texts[TextId::Text3], "2");
  EXPECT_TRUE(s.form.state().setRecord.empty());
  EXPECT_TRUE(s.form.state().readingLog.empty());
  EXPECT_TRUE(s.form.state().timeLog.empty());
  EXPECT_EQ(s.window.beeps, 1);
  EXPECT_FALSE(s.window.ended);
}

TEST_F(Form1Set, TwoSetsAppendTwoLinesAndTheSnapshotsHoldOnlyTheSecond) {
  start("3");
  std::vector<int> shuffled = {3, 1, 2, 16, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  feed(meters(1, 16));
  feed(shuffled, 456);
  const std::string db = s.files.contents(s.workFile("qn.db1"));
  ASSERT_EQ(db.size(), 2 * 678U);
  std::string second =
      "qN07"
      "20261208"
      "080031";
  for (int m = 1; m <= 16; ++m) second += "," + textOf(m, 456);
  EXPECT_EQ(db.substr(678), second + "  \r\n");

  std::string ct2;
  for (int m : shuffled) ct2 += textOf(m, 456).substr(0, 18) + "\r\n";
  EXPECT_EQ(s.files.contents(s.workFile("ct.tsr")), ct2 + "\r\n");
  const std::string usage = s.files.contents(s.workFile("usage.tsr"));
  EXPECT_EQ(usage.size(), 32 * 20U);
  EXPECT_EQ(usage.substr(320), ct2);
  EXPECT_EQ(usage.find("\r\n\r\n"), std::string::npos);
  EXPECT_EQ(s.files.contents(s.workFile("quell2.tsr")).substr(0, 21), "08:00:16 12-08-2026\r\n");
  EXPECT_EQ(s.window.texts[TextId::Text3], "1");
}

TEST_F(Form1Set, ObsCountsDownAndTheLastSetStopsInTheSameReading) {
  start("3");
  feed(meters(1, 16));
  feed(meters(1, 16));
  EXPECT_EQ(s.window.texts[TextId::Text3], "1");
  feed(meters(1, 15));
  s.window.checks[CheckId::Check1] = 1;  // the debug line would show an alarm check
  feed({16});
  EXPECT_TRUE(s.window.ended);
  EXPECT_EQ(s.device.sent(), std::string("AT TESSARO:\0\r\n", 14));
  EXPECT_EQ(s.files.contents(s.workFile("qn.db1")).size(), 3 * 678U);
  // The reading that ended the station had no alarm check.
  for (const std::string& item : s.window.list2) EXPECT_NE(item.rfind(" alarm ", 0), 0U) << item;
}

TEST_F(Form1Set, ObsAtZeroStopsAtTheFirstReadingWithoutWritingASet) {
  start("0");
  feed({1});
  EXPECT_TRUE(s.window.ended);
  EXPECT_EQ(s.form.state().lineCount, 1);
  EXPECT_EQ(s.window.list1.size(), 2U);
  EXPECT_FALSE(s.files.exists(s.workFile("qn.db1")));
}

TEST_F(Form1Set, FractionalObsCountsDownByOne) {
  start("2.5");
  feed(meters(1, 16));
  EXPECT_EQ(s.window.texts[TextId::Text3], "1.5");
  feed(meters(1, 16));
  EXPECT_EQ(s.form.state().setsLeft, 0.5);
  EXPECT_TRUE(s.window.ended);
  // The count byte comes from "0.5", rounded to the even 0.
  ASSERT_EQ(s.device.sent().size(), 14U);
  EXPECT_EQ(s.device.sent()[11], 0);
}

TEST_F(Form1Set, DatabaseCountdownSkipsSets) {
  start("9");
  s.form.state().dbCountdown = 2;
  s.form.state().dbInterval = 2;
  for (int set = 0; set < 4; ++set) feed(meters(1, 16));
  // Sets one and two count down, three writes, four counts down again.
  EXPECT_EQ(s.files.contents(s.workFile("qn.db1")).size(), 678U);
  EXPECT_EQ(s.form.state().dbCountdown, 1);
  EXPECT_EQ(s.files.contents(s.workFile("usage.tsr")).size(), 4 * 320U);
  EXPECT_EQ(s.form.state().obsCount, 4);
}

TEST_F(Form1Set, SetCanStartAtAnyMeterAndMetersAreNotCompared) {
  start("3");
  feed({9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9});
  const std::string db = s.files.contents(s.workFile("qn.db1"));
  ASSERT_EQ(db.size(), 678U);
  // Every slot receives the last meter-9 reading; the tail stays clean.
  EXPECT_EQ(db.substr(19, 40), textOf(9));
  EXPECT_EQ(db.substr(674), "  \r\n");
}

TEST_F(Form1Set, ReadingsThatCameWithoutSilenceStillGiveOneLinePerSet) {
  start("3");
  feed(meters(1, 15));
  // Meters 16 and 1 arrive as one burst; the split carries the line end
  // between them into the eighth field.
  ASSERT_TRUE(s.burst(readingOf(16) + readingOf(1)));
  const std::string db = s.files.contents(s.workFile("qn.db1"));
  EXPECT_EQ(db.find('\r'), db.size() - 2);
  EXPECT_EQ(db.find('\n'), db.size() - 1);
  const std::string ct = s.files.contents(s.workFile("ct.tsr"));
  EXPECT_EQ(std::count(ct.begin(), ct.end(), '\n'), 17);
}

}  // namespace
}  // namespace meterstation::testing
