#include <gtest/gtest.h>

#include "fakes/station_harness.h"
#include "output/support_files.h"

namespace meterstation::testing {
namespace {

class Form1Reading : public ::testing::Test {
 protected:
  void SetUp() override {
    s.window.texts[TextId::Text3] = "5";
    s.openPort();
    s.synchronise();
  }
  StationHarness s;
};

TEST_F(Form1Reading, FirstReadingIsCountedListedAndAccumulated) {
  ASSERT_TRUE(s.burst(readingOf(1)));
  const std::string text = "01,123,04567,12345,089,00012,00345,12345";
  EXPECT_EQ(s.form.state().lineCount, 1);
  EXPECT_EQ(s.window.texts[TextId::Text2], "1");
  EXPECT_EQ(s.window.list1.back(), text);
  EXPECT_EQ(s.form.state().setRecord, "," + text);
  EXPECT_EQ(s.form.state().readingLog, "01,123,04567,12345\r\n");
  EXPECT_EQ(s.form.state().timeLog, "06:19:16 12-08-2026\r\n");
  EXPECT_EQ(s.window.captions[LabelId::Label3], "qNII");
  EXPECT_EQ(s.form.state().lastInput, readingOf(1));
  EXPECT_EQ(s.form.state().tickCount, 2);
}

TEST_F(Form1Reading, ScratchWayWritesTheScratchFileAndParsesTheSameFields) {
  s.window.checks[CheckId::Check2] = 0;
  const std::string received = std::string(
      "01,1\0"
      "23,04567,12345,089,00012,00345,12345\r\n",
      43);
  ASSERT_TRUE(s.burst(received));
  EXPECT_EQ(s.window.list1.back(), "01,123,04567,12345,089,00012,00345,12345");
  // The NUL pass writes back from the start; the file keeps its length, so
  // its last two bytes are those that stood there before.
  const std::string clean = "01,123,04567,12345,089,00012,00345,12345\r\n";
  EXPECT_EQ(s.files.contents(s.workFile("cp.txt")), clean + "\r\n" + clean + "\r\n" + "\r\n");
  EXPECT_EQ(s.window.captions[LabelId::Label3], "qNII");
}

TEST_F(Form1Reading, SplitWayRecordsTheCommaPositions) {
  s.burst(readingOf(1));
  EXPECT_EQ(s.form.state().commaPos, (CommaPositions{3, 7, 13, 19, 23, 29, 35}));
  EXPECT_FALSE(s.files.exists(s.workFile("cp.txt")));
}

TEST_F(Form1Reading, DebugEchoComesFirstEvenForABadReading) {
  s.window.checks[CheckId::Check1] = 1;
  s.burst("garbage\r\n");
  ASSERT_GE(s.window.list2.size(), 2U);
  EXPECT_EQ(s.window.list2[0], " comm:garbage\r\nend");
  EXPECT_EQ(s.window.list2[1], "bad reading: garbage<CR><LF>");
}

TEST_F(Form1Reading, BadReadingIsTakenBackReportedAndKeptInTheRejectsFile) {
  s.burst(readingOf(1));
  const std::string bad = std::string("01,12\0\x07", 7) + std::string(100, 'x') + "\r\n";
  s.burst(bad);
  EXPECT_EQ(s.form.state().lineCount, 1);
  EXPECT_EQ(s.window.list1.size(), 2U);
  ASSERT_EQ(s.window.list2.size(), 1U);
  const std::string shown = s.window.list2[0];
  EXPECT_EQ(shown.rfind("bad reading: 01,12<NUL><BEL>xxx", 0), 0U);
  EXPECT_LE(shown.size(), std::string("bad reading: ").size() + 80);
  EXPECT_EQ(s.files.contents(s.workFile("rejects.txt")),
            "01,12<NUL><BEL>" + std::string(100, 'x') + "<CR><LF>\r\n");
  // The set goes on from the next good reading.
  s.burst(readingOf(2));
  EXPECT_EQ(s.form.state().lineCount, 2);
  EXPECT_EQ(s.window.texts[TextId::Text2], "2");
}

TEST_F(Form1Reading, EveryKindOfUnparsableReadingIsRejected) {
  std::string huge = readingOf(1);
  huge.insert(5, std::string(40000, '9'));
  const std::vector<std::pair<int, std::string>> cases = {
      {1, "01,123,04567\r\n"},
      {1, "1,2,3,4,5,6,7,x"},
      {1, huge},
      {0, "01,abc,04567,12345,089,00012,00345,12345\r\n"},
      {0, ""},
  };
  for (const auto& [vista, text] : cases) {
    s.window.checks[CheckId::Check2] = vista;
    s.arrive(text);
    s.quiet();
  }
  EXPECT_EQ(s.form.state().lineCount, 0);
  EXPECT_EQ(s.window.list1.size(), 1U);
  // Four messages and four lines: the empty burst is only taken back.
  EXPECT_EQ(s.window.list2.size(), 4U);
  EXPECT_EQ(fileLines(s.files.contents(s.workFile("rejects.txt"))).size(), 4U);
}

TEST_F(Form1Reading, EmptyBurstIsOnlyTakenBack) {
  ASSERT_TRUE(s.device.raise(PortError::Unknown, "line state"));
  ASSERT_TRUE(s.quiet());
  EXPECT_EQ(s.form.state().lineCount, 0);
  EXPECT_TRUE(s.window.list2.empty());
  EXPECT_FALSE(s.files.exists(s.workFile("rejects.txt")));
}

TEST_F(Form1Reading, ScratchFileThatCannotBeWrittenRejectsTheReading) {
  s.window.checks[CheckId::Check2] = 0;
  s.files.faults[s.workFile("cp.txt")] = FakeFiles::Fault::CannotWrite;
  s.burst(readingOf(1));
  EXPECT_EQ(s.form.state().lineCount, 0);
  EXPECT_EQ(s.window.list2, (std::vector<std::string>{
                                "Problem with file cp.txt",
                                "bad reading: 01,123,04567,12345,089,00012,00345,12345<CR><LF>"}));
  s.files.faults.clear();
  s.burst(readingOf(2));
  EXPECT_EQ(s.form.state().lineCount, 1);
}

TEST_F(Form1Reading, ReadingLongerThanItsWidthsIsCarriedWhole) {
  s.burst("01,123,0004567,12345,089,00012,00345,12345\r\n");
  EXPECT_EQ(s.window.list1.back(), "01,123,0004567,12345,089,00012,00345,12345");
  EXPECT_EQ(s.form.state().readingLog, "01,123,0004567,123\r\n");
  s.burst("1,2\r\n,3,4,5,6,7,8\r\n");
  // Line ends inside a field become spaces; the field keeps its length.
  EXPECT_EQ(s.window.list1.back(), "01,2  ,00003,00004,005,00006,00007,00008");
}

}  // namespace
}  // namespace meterstation::testing
