#include <gtest/gtest.h>

#include <algorithm>

#include "fakes/station_harness.h"
#include "output/support_files.h"

namespace meterstation::testing {
namespace {

class Form1Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    s.window.texts[TextId::Text3] = "20";
    s.openPort();
    s.synchronise();
  }
  // One set; `value` marks its readings so the sets can be told apart.
  void set(int value) {
    for (int m = 1; m <= 16; ++m) ASSERT_TRUE(s.burst(readingOf(m, value)));
  }
  std::vector<int> valuesInDatabase() {
    std::vector<int> values;
    for (const std::string& line : fileLines(s.files.contents(s.workFile("qn.db1")))) {
      EXPECT_EQ(line.size(), 676U);
      values.push_back(std::stoi(line.substr(22, 3)));
    }
    return values;
  }
  StationHarness s;
};

TEST_F(Form1Faults, FailedDatabaseAppendWaitsAndIsWrittenFirstNextTime) {
  s.files.faults[s.workFile("qn.db1")] = FakeFiles::Fault::CannotWrite;
  set(101);
  EXPECT_TRUE(s.window.list2Has("Problem with file qn.db1"));
  EXPECT_TRUE(s.window.list2Has("1 line waits for qn.db1"));
  // The other files of the set are still written.
  EXPECT_TRUE(s.files.exists(s.workFile("ct.tsr")));
  EXPECT_TRUE(s.files.exists(s.workFile("usage.tsr")));
  EXPECT_TRUE(s.files.exists(s.workFile("quell2.tsr")));
  set(102);
  EXPECT_TRUE(s.window.list2Has("2 lines wait for qn.db1"));
  EXPECT_EQ(s.form.pendingAppends().waiting(s.workFile("qn.db1")), 2U);

  s.files.faults.clear();
  set(103);
  EXPECT_EQ(valuesInDatabase(), (std::vector<int>{101, 102, 103}));
  EXPECT_TRUE(s.window.list2Has("2 waiting lines written to qn.db1"));
  EXPECT_EQ(s.form.pendingAppends().totalWaiting(), 0U);
}

TEST_F(Form1Faults, DiskFullKeepsEveryLineInOrder) {
  s.files.diskFullAfter[s.workFile("qn.db1")] = 678;
  set(1);
  set(2);
  set(3);
  EXPECT_EQ(valuesInDatabase(), (std::vector<int>{1}));
  s.files.diskFullAfter.clear();
  set(4);
  EXPECT_EQ(valuesInDatabase(), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(Form1Faults, DirectoryGoneThenBackLosesNoSet) {
  set(1);
  s.files.missingDirs.insert(s.form.state().workDir);
  set(2);
  EXPECT_TRUE(s.window.list2Has("Problem with file qn.db1"));
  EXPECT_TRUE(s.window.list2Has("Problem with file ct.tsr"));
  EXPECT_TRUE(s.window.list2Has("Problem with file usage.tsr"));
  EXPECT_TRUE(s.window.list2Has("Problem with file quell2.tsr"));
  EXPECT_EQ(s.form.state().obsCount, 2);
  s.files.missingDirs.clear();
  set(3);
  EXPECT_EQ(valuesInDatabase(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(s.files.contents(s.workFile("usage.tsr")).size(), 3 * 320U);
}

// A database receives only its own directory's sets: lines waiting for a
// directory that is gone wait for it, not for the next one chosen.
TEST_F(Form1Faults, WaitingLinesStayWithTheirOwnDirectory) {
  const std::string first = s.form.state().workDir;
  s.files.missingDirs.insert(first);
  set(7);
  s.window.dir = "/media/op/USB/spare/qN07";
  s.openPort();
  EXPECT_TRUE(s.window.list2Has("1 line waits for qn.db1 in " + first));
  set(8);
  EXPECT_EQ(s.form.state().workDir, "/media/op/USB/spare/qN07/");
  EXPECT_EQ(valuesInDatabase(), (std::vector<int>{8}));
  EXPECT_EQ(s.form.pendingAppends().waiting(first + "qn.db1"), 1U);
  // The first directory comes back: its line reaches it at the next retry,
  // with no new set.
  s.files.missingDirs.clear();
  ASSERT_TRUE(s.retryPeriod());
  const std::vector<std::string> lines = fileLines(s.files.contents(first + "qn.db1"));
  ASSERT_EQ(lines.size(), 1U);
  EXPECT_EQ(lines[0].substr(22, 3), "007");
  EXPECT_EQ(s.form.pendingAppends().totalWaiting(), 0U);
  EXPECT_FALSE(s.retryTimer.enabled());
}

TEST_F(Form1Faults, SnapshotFailureIsReportedAndTheRestIsWritten) {
  s.files.faults[s.workFile("ct.tsr")] = FakeFiles::Fault::CannotOpen;
  set(5);
  EXPECT_TRUE(s.window.list2Has("Problem with file ct.tsr"));
  EXPECT_EQ(valuesInDatabase(), (std::vector<int>{5}));
  EXPECT_TRUE(s.files.exists(s.workFile("quell2.tsr")));
  // A replaced file is not appended: nothing waits for it.
  EXPECT_EQ(s.form.pendingAppends().totalWaiting(), 0U);
}

TEST_F(Form1Faults, RejectsAndAlarmLinesWaitToo) {
  s.files.faults[s.workFile("rejects.txt")] = FakeFiles::Fault::CannotWrite;
  s.burst("bad one\r\n");
  s.burst("bad two\r\n");
  EXPECT_TRUE(s.window.list2Has("2 lines wait for rejects.txt"));
  s.files.faults.clear();
  s.burst("bad three\r\n");
  EXPECT_EQ(s.files.contents(s.workFile("rejects.txt")),
            "bad one<CR><LF>\r\nbad two<CR><LF>\r\nbad three<CR><LF>\r\n");
}

TEST_F(Form1Faults, TornLastLineIsMovedAsideBeforeTheFirstAppend) {
  const std::string whole = std::string(676, 'A') + "\r\n";
  s.files.files[s.workFile("qn.db1")] = whole + "qN07202612";
  set(9);
  EXPECT_EQ(s.files.contents(s.workFile("qn.db1.partial")), "qN07202612\r\n");
  const std::string db = s.files.contents(s.workFile("qn.db1"));
  EXPECT_EQ(db.substr(0, 678), whole);
  EXPECT_EQ(db.size(), 2 * 678U);
  EXPECT_TRUE(s.window.list2Has("torn last line of qn.db1 moved to qn.db1.partial"));
  // Checked once per directory: a later whole file is left alone.
  s.files.files[s.workFile("qn.db1")] += "xx";
  set(10);
  EXPECT_EQ(s.files.contents(s.workFile("qn.db1.partial")), "qN07202612\r\n");
}

TEST_F(Form1Faults, TornLineIsKeptWhenItCannotBeMovedAside) {
  s.files.files[s.workFile("qn.db1")] = "torn";
  s.files.faults[s.workFile("qn.db1.partial")] = FakeFiles::Fault::CannotWrite;
  set(11);
  EXPECT_TRUE(s.window.list2Has("Problem with file qn.db1.partial"));
  EXPECT_TRUE(s.window.list2Has("1 line waits for qn.db1"));
  // Nothing is appended onto the torn line while it cannot be moved.
  EXPECT_EQ(s.files.contents(s.workFile("qn.db1")), "torn");
  s.files.faults.clear();
  set(12);
  EXPECT_EQ(s.files.contents(s.workFile("qn.db1.partial")), "torn\r\n");
  EXPECT_EQ(valuesInDatabase(), (std::vector<int>{11, 12}));
}

TEST_F(Form1Faults, EndingFlushesWhatCanBeWritten) {
  s.files.faults[s.workFile("qn.db1")] = FakeFiles::Fault::CannotWrite;
  set(12);
  s.files.faults.clear();
  s.form.Form_Unload();
  EXPECT_EQ(valuesInDatabase(), (std::vector<int>{12}));
}

TEST_F(Form1Faults, LinesStillWaitingAtTheEndAreKeptForTheNextStart) {
  s.files.missingDirs.insert(s.form.state().workDir);
  set(21);
  set(22);
  s.burst("bad\r\n");
  s.form.Form_Unload();
  const std::string kept = s.form.waitingLinesFile();
  EXPECT_EQ(kept, "/home/op/.local/share/meterstation/waiting-4242.lines");
  ASSERT_TRUE(s.files.exists(kept));
  const std::string message = "2 lines wait for qn.db1; kept in " + kept +
                              " and written by the station when it next starts";
  EXPECT_TRUE(s.window.list2Has(message));
  EXPECT_NE(std::find(s.host.errors.begin(), s.host.errors.end(), "meterstation: " + message),
            s.host.errors.end());
  EXPECT_TRUE(s.form.ended());

  // The next station, in another process, delivers them once the directory
  // can be written again, in order.
  StationHarness next{false};
  next.files.files = s.files.files;
  next.host.pid = 5151;
  next.files.missingDirs.clear();
  next.form.Form_Load();
  const std::string dir = s.form.state().workDir;
  const std::vector<std::string> lines = fileLines(next.files.contents(dir + "qn.db1"));
  ASSERT_EQ(lines.size(), 2U);
  EXPECT_EQ(lines[0].substr(22, 3), "021");
  EXPECT_EQ(lines[1].substr(22, 3), "022");
  EXPECT_EQ(next.files.contents(dir + "rejects.txt"), "bad<CR><LF>\r\n");
  EXPECT_EQ(next.form.pendingAppends().totalWaiting(), 0U);
  EXPECT_FALSE(next.files.exists(kept));
}

TEST_F(Form1Faults, WithNowhereToKeepThemTheLinesGoToStandardError) {
  s.files.missingDirs.insert(s.form.state().workDir);
  s.files.missingDirs.insert(s.host.dataDir);
  set(31);
  s.form.state().setsLeft = 0;
  s.form.Command5_Click();
  EXPECT_TRUE(s.window.ended);
  ASSERT_EQ(s.host.errors.size(), 4U);  // qn.db1 and usage.tsr, each a heading and its line
  EXPECT_EQ(s.host.errors[1].size(), 676U);
  EXPECT_EQ(s.host.errors[1].substr(22, 3), "031");
}

}  // namespace
}  // namespace meterstation::testing
