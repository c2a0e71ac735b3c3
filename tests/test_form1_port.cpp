#include <gtest/gtest.h>

#include <chrono>

#include "fakes/station_harness.h"
#include "support/line_settings_text.h"

namespace meterstation::testing {
namespace {

TEST(Form1Window, LoadsWithCountersAtZeroAndPortButtonsDisabledUntilADirectoryIsChosen) {
  StationHarness s;
  EXPECT_EQ(s.form.state().lineCount, 0);
  EXPECT_EQ(s.form.state().tickCount, 0);
  EXPECT_EQ(s.form.state().setsLeft, 0);
  EXPECT_FALSE(s.window.enabled[ButtonId::Command1]);
  s.form.Dir1_Change();
  for (ButtonId b :
       {ButtonId::Command1, ButtonId::Command2, ButtonId::Command3, ButtonId::Command4}) {
    EXPECT_TRUE(s.window.enabled[b]);
  }
}

TEST(Form1Window, DriveChangeShowsThatDrivesDirectoryAndRaisesTheDirectoryChange) {
  StationHarness s;
  s.window.drives = {"/", "/media/op/USB"};
  s.window.startDir = "/media/op/USB/meters/qN03";  // the station was started there
  s.window.driveName = "/media/op/USB";
  s.form.Drive1_Change();
  EXPECT_EQ(s.window.dir, "/media/op/USB/meters/qN03");
  EXPECT_TRUE(s.window.enabled[ButtonId::Command2]);
}

TEST(Form1Window, ADirectoryTheListCannotReadIsSaidInList2AndTheNextChoiceIsShown) {
  StationHarness s;
  s.window.drives = {"/", "/media/op/USB"};
  s.window.setDirPath("/media/op/USB/meters/qN03");
  s.window.setDirPath("/home/op/data/qN07");
  s.window.enabled[ButtonId::Command1] = false;
  const std::string gone =
      "cannot read directory /media/op/USB/meters/qN03: No such file or directory";
  s.window.unreadable["/media/op/USB/meters/qN03"] = gone;

  // The directory last opened on the stick is gone: its root is shown instead.
  s.window.driveName = "/media/op/USB";
  s.form.Drive1_Change();
  EXPECT_EQ(s.window.list2, std::vector<std::string>{gone});
  EXPECT_EQ(s.window.dir, "/media/op/USB");
  EXPECT_TRUE(s.window.enabled[ButtonId::Command1]);

  // Nothing on the drive can be read: Dir1 and the drive list stay where
  // they were, and the port buttons as they were.
  const std::string locked = "cannot read directory /home/op/data/qN07: Permission denied";
  s.window.unreadable["/home/op/data/qN07"] = locked;
  s.window.unreadable["/"] = "cannot read directory /: Permission denied";
  s.window.enabled[ButtonId::Command1] = false;
  s.window.driveName = "/";
  s.form.Drive1_Change();
  EXPECT_EQ(s.window.list2, std::vector<std::string>({gone, locked, s.window.unreadable["/"]}));
  EXPECT_EQ(s.window.dir, "/media/op/USB");
  EXPECT_EQ(s.window.driveName, "/media/op/USB");
  EXPECT_FALSE(s.window.enabled[ButtonId::Command1]);
}

struct WorkDirCase {
  std::string dir;
  std::string workDir;
  std::string marker;
};

class SelectWorkDirTest : public ::testing::TestWithParam<WorkDirCase> {};

TEST_P(SelectWorkDirTest, TakesTheDirectoryAndItsMarker) {
  StationHarness s;
  s.window.dir = GetParam().dir;
  s.form.SelectWorkDir();
  EXPECT_EQ(s.form.state().workDir, GetParam().workDir);
  EXPECT_EQ(s.window.texts[TextId::Text1], GetParam().marker);
}

INSTANTIATE_TEST_SUITE_P(Directories, SelectWorkDirTest,
                         ::testing::Values(WorkDirCase{"/home/op/data/qN07", "/home/op/data/qN07/",
                                                       "qN07"},
                                           WorkDirCase{"/home/op/ab", "/home/op/ab/", "p/ab"},
                                           WorkDirCase{"/", "/", "/"}));

// A port already open is closed first: the link takes no other port while
// one is open.
TEST(Form1Port, PortChoiceResetsTheLineAndOpensThePort) {
  StationHarness s;
  s.openPort(1);
  s.openPort(3);
  EXPECT_EQ(s.serial.settings(), testsupport::kProcessorLineSettings);
  EXPECT_EQ(s.device.openedSettings().baud, 300);
  EXPECT_EQ(s.window.lamp, kLampRed);
  EXPECT_EQ(s.window.captions[LabelId::Label1], "Please wait 3 minutes");
  EXPECT_EQ(s.device.opens(), 2);
  EXPECT_EQ(s.device.openedPort(), 3);
  EXPECT_TRUE(s.device.isOpen());
  EXPECT_EQ(s.form.state().workDir, "/home/op/data/qN07/");
}

TEST(Form1Port, FailedOpenIsReportedAndTheOperatorCanChooseAgain) {
  StationHarness s;
  s.device.goAway("No such file or directory");
  s.openPort(2);
  EXPECT_TRUE(s.window.list2Has("cannot open COM2: No such file or directory"));
  EXPECT_FALSE(s.serial.portOpen());
  s.device.comeBack();
  s.form.Command1_Click();
  EXPECT_TRUE(s.serial.portOpen());
  EXPECT_EQ(s.device.opens(), 1);
  EXPECT_EQ(s.device.openedPort(), 1);
}

TEST(Form1Port, FirstQuietPeriodOnlySynchronises) {
  StationHarness s;
  s.openPort();
  ASSERT_TRUE(s.burst(readingOf(1)));
  EXPECT_EQ(s.window.list1, std::vector<std::string>{"sync "});
  EXPECT_EQ(s.window.lamp, kLampYellow);
  EXPECT_EQ(s.form.state().tickCount, 1);
  EXPECT_EQ(s.form.state().lineCount, 0);
  EXPECT_TRUE(s.serial.input().empty());
  EXPECT_FALSE(s.timer.enabled());
}

TEST(Form1Port, ChoosingAPortAgainKeepsTheSetAndNeverSynchronisesAgain) {
  StationHarness s;
  s.openPort();
  s.synchronise();
  s.burst(readingOf(1));
  s.window.dir = "/home/op/other/qN09";
  s.openPort(2);
  s.burst(readingOf(2));
  EXPECT_EQ(s.form.state().lineCount, 2);
  EXPECT_EQ(s.window.list1.size(), 3U);
  EXPECT_EQ(s.form.state().workDir, "/home/op/other/qN09/");
}

TEST(Form1Port, EveryNotificationRestartsTheCountdownAndReloadsTheSetsLeft) {
  StationHarness s;
  s.openPort();
  s.window.texts[TextId::Text3] = "2.5";
  ASSERT_TRUE(s.device.raise(PortError::Unknown, "line state"));
  EXPECT_EQ(s.form.state().setsLeft, 2.5);
  EXPECT_EQ(s.timer.interval(), 2000);
  EXPECT_TRUE(s.timer.enabled());
  // A burst that keeps arriving never lets the countdown run out.
  s.turns.pass(std::chrono::milliseconds(1500));
  s.arrive("0");
  s.turns.pass(std::chrono::milliseconds(1999));
  EXPECT_EQ(s.form.state().tickCount, 0);
  s.turns.pass(std::chrono::milliseconds(1));
  EXPECT_EQ(s.form.state().tickCount, 1);
}

TEST(Form1Port, IntervalIsRoundedHalfToEven) {
  StationHarness s;
  s.openPort();
  s.window.texts[TextId::Text4] = "2000.5";
  s.arrive("x");
  EXPECT_EQ(s.timer.interval(), 2000);
  s.window.texts[TextId::Text4] = " 1 5 0 1.5";
  s.arrive("x");
  EXPECT_EQ(s.timer.interval(), 1502);
}

TEST(Form1Port, IntervalOfZeroOrNoNumberNeverTicksAndIsReported) {
  for (const char* text : {"", "0", "abc", "0.4"}) {
    StationHarness s;
    s.openPort();
    s.window.texts[TextId::Text4] = text;
    EXPECT_FALSE(s.burst("x")) << text;
    EXPECT_EQ(s.window.list2, std::vector<std::string>{"invalid interval"}) << text;
    // Readings go on once the operator gives a usable interval.
    s.window.texts[TextId::Text4] = "100";
    EXPECT_TRUE(s.burst("y")) << text;
  }
}

TEST(Form1Port, InvalidIntervalIsSaidOnceUntilItsTextChanges) {
  StationHarness s;
  s.openPort();
  s.window.texts[TextId::Text4] = "-5";
  EXPECT_FALSE(s.burst("x"));
  EXPECT_FALSE(s.burst("y"));
  EXPECT_EQ(s.window.list2, std::vector<std::string>{"invalid interval"});
  s.window.texts[TextId::Text4] = "3e9";
  EXPECT_FALSE(s.burst("z"));
  EXPECT_EQ(s.window.list2.size(), 2U);
  s.window.texts[TextId::Text4] = "2147483647";
  s.arrive("a");
  EXPECT_EQ(s.timer.interval(), 2147483647);
  EXPECT_EQ(s.window.list2.size(), 2U);
}

struct CountByteCase {
  std::string obs;
  unsigned char count;
};

class StopCommandTest : public ::testing::TestWithParam<CountByteCase> {};

TEST_P(StopCommandTest, SendsFourteenBytesWithTheRoundedCount) {
  StationHarness s;
  s.openPort();
  s.window.texts[TextId::Text3] = GetParam().obs;
  s.form.Command5_Click();
  std::string expected = "AT TESSARO:";
  expected += static_cast<char>(GetParam().count);
  expected += "\r\n";
  EXPECT_EQ(s.device.sent(), expected);
  EXPECT_EQ(s.device.sent().size(), 14U);
  EXPECT_EQ(s.window.texts[TextId::Text3], "0");
}

INSTANTIATE_TEST_SUITE_P(ObsTexts, StopCommandTest,
                         ::testing::Values(CountByteCase{"-4", 0}, CountByteCase{"300", 255},
                                           CountByteCase{"2.5", 2}, CountByteCase{"3.5", 4},
                                           CountByteCase{"letters", 0}, CountByteCase{"", 0},
                                           CountByteCase{"1e999", 255}, CountByteCase{"7", 7}));

TEST(Form1Port, EndNowWithSetsLeftSendsAndKeepsRunningUntilTheNextReading) {
  StationHarness s;
  s.openPort();
  s.window.texts[TextId::Text3] = "3";
  s.synchronise();
  EXPECT_EQ(s.form.state().setsLeft, 3);
  s.form.Command5_Click();
  EXPECT_FALSE(s.window.ended);
  EXPECT_EQ(s.device.sent()[11], 3);
  s.burst(readingOf(1));
  EXPECT_TRUE(s.window.ended);
  EXPECT_TRUE(s.form.ended());
  ASSERT_EQ(s.device.sent().size(), 28U);
  EXPECT_EQ(s.device.sent()[14 + 11], 0);
  EXPECT_FALSE(s.device.isOpen());
  EXPECT_EQ(s.window.list1.size(), 2U);
}

TEST(Form1Port, EndNowWithNoSetsLeftEndsAtOnceAndNothingRunsAfter) {
  StationHarness s;
  s.openPort();
  s.form.Command5_Click();
  EXPECT_TRUE(s.window.ended);
  EXPECT_FALSE(s.serial.portOpen());
  EXPECT_FALSE(s.timer.enabled());
  EXPECT_FALSE(s.arrive(readingOf(1)));
  s.form.Timer1_Timer();
  s.form.Command1_Click();
  EXPECT_TRUE(s.window.list1.empty());
  EXPECT_EQ(s.device.opens(), 1);
  EXPECT_FALSE(s.timer.enabled());
}

TEST(Form1Port, EndNowWithoutAnOpenPortSaysSoAndStillEnds) {
  StationHarness s;
  s.window.texts[TextId::Text3] = "5";
  s.form.Command5_Click();
  EXPECT_TRUE(s.window.list2Has("port not open"));
  EXPECT_TRUE(s.device.sent().empty());
  EXPECT_EQ(s.window.texts[TextId::Text3], "0");
  EXPECT_TRUE(s.window.ended);
}

TEST(Form1Port, StopCommandThatCannotBeSentIsReported) {
  StationHarness s;
  s.openPort();
  s.device.refuseNextWrite("Input/output error");
  s.form.Command5_Click();
  EXPECT_TRUE(s.window.list2Has("stop command not sent: Input/output error"));
  EXPECT_TRUE(s.window.ended);
}

// Sent with sets still to go, the station goes on; bytes that then sit in
// the port past their time are reported when the port says so.
TEST(Form1Port, StopCommandHeldBackByTheLineIsReportedAndTheRunGoesOn) {
  StationHarness s;
  s.openPort();
  s.window.texts[TextId::Text3] = "3";
  s.form.MSComm1_OnComm();
  s.device.stallWrites(true);
  s.form.Command5_Click();
  ASSERT_FALSE(s.window.ended);
  s.turns.passDeadline();
  // 14 bytes at 300 baud and the link's margin.
  EXPECT_TRUE(
      s.window.list2Has("stop command not sent: the bytes did not leave the port within 2467 ms"));
  EXPECT_TRUE(s.serial.portOpen());
  EXPECT_TRUE(s.arrive("more"));
}

// Before any port choice the port is closed, so nothing can arrive and no
// reading can be taken while the working directory is still empty; the
// same holds after Init with no port chosen.
TEST(Form1Port, NothingArrivesBeforeAPortIsChosen) {
  StationHarness s;
  EXPECT_FALSE(s.arrive("noise\r\n"));
  for (int m = 1; m <= 16; ++m) EXPECT_FALSE(s.burst(readingOf(m)));
  s.window.texts[TextId::Text3] = "0";
  s.form.Command6_Click();
  ASSERT_TRUE(s.window.list2Has("files created"));
  for (int m = 1; m <= 16; ++m) EXPECT_FALSE(s.burst(readingOf(m)));
  EXPECT_EQ(s.form.state().tickCount, 0);
  EXPECT_EQ(s.form.state().obsCount, 0);
  EXPECT_TRUE(s.window.list1.empty());
  EXPECT_FALSE(s.timer.enabled());
  EXPECT_FALSE(s.files.exists(s.workFile("qn.db1")));
  EXPECT_FALSE(s.files.exists("qn.db1"));
}

TEST(Form1Port, LostPortIsReportedAndItsTextStillBecomesAReading) {
  StationHarness s;
  s.openPort();
  s.synchronise();
  // Bytes that came just before the loss, not yet told.
  s.device.arriveUnheard(readingOf(4), s.turns.now());
  s.device.goAway("No such file or directory");
  ASSERT_TRUE(s.losePort("Input/output error"));
  EXPECT_EQ(s.window.lamp, kLampRed);
  EXPECT_FALSE(s.arrive("lost on the line"));
  ASSERT_TRUE(s.quiet());
  EXPECT_EQ(s.window.list1.back(), readingOf(4).substr(0, 40));
  s.turns.passPeriod();  // still gone
  ASSERT_TRUE(s.portBack());
  EXPECT_EQ(s.window.list2,
            (std::vector<std::string>{"lost COM1: Input/output error; trying again every 2 s",
                                      "COM1 is back"}));
  EXPECT_EQ(s.device.openedPort(), 1);
}

}  // namespace
}  // namespace meterstation::testing
