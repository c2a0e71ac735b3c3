#include <algorithm>

#include <gtest/gtest.h>

#include "fakes/station_harness.h"
#include "output/set_journal.h"
#include "output/support_files.h"
#include "output/waiting_lines.h"

namespace meterstation::testing {
namespace {

// The station a crash or a power cut left behind: its files, and a new
// process starting on them.
void startAfter(StationHarness& next, const StationHarness& before) {
  next.files.files = before.files.files;
  next.host.pid = before.host.pid + 1;
  next.form.Form_Load();
}

void feedSet(StationHarness& s, int value, int count = 16) {
  for (int m = 1; m <= count; ++m) ASSERT_TRUE(s.burst(readingOf(m, value)));
}

std::vector<std::string> linesOf(const StationHarness& s, const std::string& path) {
  return fileLines(s.files.contents(path));
}

class Form1Continuity : public ::testing::Test {
 protected:
  void SetUp() override {
    s.window.texts[TextId::Text3] = "20";
    s.openPort();
    s.synchronise();
  }
  StationHarness s;
};

TEST_F(Form1Continuity, TheRunIsRememberedAtThePortChoiceAndAtEveryChangeAfter) {
  ASSERT_TRUE(s.settings.stored);
  EXPECT_EQ(s.settings.stored->workDir, kWorkDir);
  EXPECT_EQ(s.settings.stored->port, 1);
  EXPECT_EQ(s.settings.stored->marker, "qN07");
  EXPECT_EQ(s.settings.stored->obs, "20");
  EXPECT_TRUE(s.settings.stored->going);

  s.window.type(TextId::Text4, "1500");
  s.window.type(TextId::Text1, "qX07");
  s.window.setCheckValue(CheckId::Check1, 1);
  s.window.setCheckValue(CheckId::Check2, 0);
  EXPECT_EQ(s.settings.stored->interval, "1500");
  EXPECT_EQ(s.settings.stored->marker, "qX07");
  EXPECT_EQ(s.settings.stored->debug, 1);
  EXPECT_EQ(s.settings.stored->vistaFix, 0);
  // The station's own countdown of Obs # is remembered too.
  feedSet(s, 1);
  EXPECT_EQ(s.settings.stored->obs, "19");
  EXPECT_TRUE(s.settings.stored->going);
}

// A run that cannot be remembered would silently not be taken up after a
// crash: said once while it lasts, and again after it was mended.
TEST_F(Form1Continuity, ARunThatCannotBeRememberedIsSaidOnce) {
  const auto said = [&] {
    return std::count(s.window.list2.begin(), s.window.list2.end(),
                      "run not remembered for --resume: disk full");
  };
  s.settings.failure = "disk full";
  s.window.type(TextId::Text4, "1500");
  s.window.type(TextId::Text4, "1600");
  EXPECT_EQ(said(), 1);
  s.settings.failure.reset();
  s.window.type(TextId::Text4, "1700");
  EXPECT_EQ(s.settings.stored->interval, "1700");
  s.settings.failure = "disk full";
  s.window.type(TextId::Text4, "1800");
  EXPECT_EQ(said(), 2);
}

TEST_F(Form1Continuity, OnlyTheStopCommandAndTheOperatorsCloseEndTheRun) {
  s.form.Session_End();
  EXPECT_TRUE(s.settings.stored->going);

  StationHarness closed;
  closed.openPort();
  closed.form.Form_Unload();
  EXPECT_FALSE(closed.settings.stored->going);

  StationHarness stopped;
  stopped.window.texts[TextId::Text3] = "1";
  stopped.openPort();
  stopped.synchronise();
  feedSet(stopped, 3);
  EXPECT_TRUE(stopped.window.ended);
  EXPECT_FALSE(stopped.settings.stored->going);
}

TEST_F(Form1Continuity, EachReadingIsJournalledUntilItsSetIsWritten) {
  feedSet(s, 5, 3);
  const Journal journal = decodeJournal(s.files.contents(kWorkDir + kJournalFile));
  ASSERT_EQ(journal.entries.size(), 3U);
  EXPECT_EQ(journal.entries[2].readingText, readingOf(3, 5).substr(0, 40));
  EXPECT_EQ(journal.entries[2].timeAndDate, "06:19:16 12-08-2026");
  feedSet(s, 5, 13);
  EXPECT_EQ(s.form.state().obsCount, 1);
  EXPECT_EQ(s.files.contents(kWorkDir + kJournalFile), "");
}

// A set is sixteen consecutive readings: those of a set a crash cut short
// are kept apart and never join the next set.
TEST_F(Form1Continuity, AKilledRunsUnfinishedSetIsKeptAtTheNextPortChoice) {
  feedSet(s, 7, 5);
  StationHarness next{false};
  startAfter(next, s);
  next.clock.time = "09:10:11";
  next.openPort();
  const std::vector<std::string> kept = linesOf(next, kWorkDir + kIncompleteSetsFile);
  ASSERT_EQ(kept.size(), 6U);
  EXPECT_EQ(kept[0], "unfinished set, 5 readings, run interrupted, kept 09:10:11 12-08-2026");
  EXPECT_EQ(kept[1], readingOf(1, 7).substr(0, 40) + " 06:19:16 12-08-2026");
  EXPECT_TRUE(next.window.list2Has("5 readings of an unfinished set kept in incomplete-sets.txt"));
  EXPECT_EQ(next.files.contents(kWorkDir + kJournalFile), "");
  // The new run starts its sets afresh.
  next.synchronise();
  feedSet(next, 8);
  ASSERT_EQ(linesOf(next, kWorkDir + "qn.db1").size(), 1U);
  EXPECT_EQ(linesOf(next, kWorkDir + "qn.db1")[0].substr(22, 3), "008");
}

TEST_F(Form1Continuity, ACompletedSetCutShortBeforeItsJournalWasEmptiedIsNotKeptTwice) {
  feedSet(s, 9);
  const std::string line = s.files.contents(kWorkDir + "qn.db1");
  // As if the crash came after the database append, before the journal
  // was emptied: its readings and the completion are still there.
  std::string journal;
  for (int m = 1; m <= 16; ++m) journal += journalReading({readingOf(m, 9).substr(0, 40), "t"});
  s.files.files[kWorkDir + kJournalFile] = journal + journalCompletion(line);
  StationHarness reached{false};
  startAfter(reached, s);
  reached.openPort();
  EXPECT_FALSE(reached.files.exists(kWorkDir + kIncompleteSetsFile));

  // The same, but the line never reached the database.
  s.files.files[kWorkDir + "qn.db1"] = "";
  StationHarness lost{false};
  startAfter(lost, s);
  lost.openPort();
  EXPECT_EQ(linesOf(lost, kWorkDir + kIncompleteSetsFile).size(), 17U);
}

// A crash after an unfinished set went to incomplete-sets.txt and before
// its journal was emptied leaves both: the next start must not keep the
// readings a second time.
TEST_F(Form1Continuity, AnUnfinishedSetKeptJustBeforeACrashIsNotKeptAgain) {
  feedSet(s, 7, 5);
  const std::string journal = s.files.contents(kWorkDir + kJournalFile);
  StationHarness taken{false};
  startAfter(taken, s);
  taken.openPort();
  ASSERT_EQ(linesOf(taken, kWorkDir + kIncompleteSetsFile).size(), 6U);
  taken.files.files[kWorkDir + kJournalFile] = journal;
  StationHarness again{false};
  startAfter(again, taken);
  again.openPort();
  EXPECT_EQ(linesOf(again, kWorkDir + kIncompleteSetsFile).size(), 6U);
  EXPECT_EQ(again.files.contents(kWorkDir + kJournalFile), "");

  // The same at the end of a run: the set in progress kept as ended.
  again.synchronise();
  feedSet(again, 8, 2);
  const std::string ending = again.files.contents(kWorkDir + kJournalFile);
  again.form.Form_Unload();
  ASSERT_EQ(linesOf(again, kWorkDir + kIncompleteSetsFile).size(), 9U);
  again.files.files[kWorkDir + kJournalFile] = ending;
  StationHarness after{false};
  startAfter(after, again);
  after.openPort();
  EXPECT_EQ(linesOf(after, kWorkDir + kIncompleteSetsFile).size(), 9U);
}

TEST_F(Form1Continuity, AnUnfinishedSetIsKeptWhenTheProgramEnds) {
  feedSet(s, 4, 2);
  s.form.Form_Unload();
  const std::vector<std::string> kept = linesOf(s, kWorkDir + kIncompleteSetsFile);
  ASSERT_EQ(kept.size(), 3U);
  EXPECT_EQ(kept[0], "unfinished set, 2 readings, run ended, kept 06:19:16 12-08-2026");
  EXPECT_EQ(s.files.contents(kWorkDir + kJournalFile), "");
}

TEST_F(Form1Continuity, TheSetInProgressTakesItsJournalToTheNextDirectory) {
  feedSet(s, 2, 4);
  s.window.dir = "/home/op/data/qN08";
  s.openPort();
  EXPECT_EQ(s.files.contents(kWorkDir + kJournalFile), "");
  EXPECT_EQ(decodeJournal(s.files.contents("/home/op/data/qN08/" + std::string(kJournalFile)))
                .entries.size(),
            4U);
  EXPECT_FALSE(s.files.exists(kWorkDir + kIncompleteSetsFile));
  EXPECT_EQ(s.form.state().lineCount, 4);
  EXPECT_TRUE(s.host.held.contains("/home/op/data/qN08/.meterstation.lock"));
  EXPECT_FALSE(s.host.held.contains(kWorkDir + ".meterstation.lock"));
}

// Left behind, the set's readings would be kept again as an unfinished
// set at that directory's next start: the operator hears of it.
TEST_F(Form1Continuity, AJournalThatCannotBeLeftBehindEmptyIsReported) {
  feedSet(s, 2, 4);
  s.files.faults[kWorkDir + kJournalFile] = FakeFiles::Fault::CannotWrite;
  s.window.dir = "/home/op/data/qN08";
  s.openPort();
  EXPECT_NE(std::find(s.window.list2.begin(), s.window.list2.end(),
                      "Problem with file " + kWorkDir + kJournalFile),
            s.window.list2.end());
  EXPECT_EQ(s.form.state().lineCount, 4);
}

TEST(Form1Lock, ADirectoryAnotherStationHoldsIsRefusedAndNothingChanges) {
  StationHarness s;
  s.host.othersHold[kWorkDir + ".meterstation.lock"] = 3131;
  s.openPort();
  EXPECT_TRUE(s.window.list2Has("working directory in use by another station: process 3131"));
  EXPECT_EQ(s.device.opens(), 0);
  EXPECT_EQ(s.form.state().workDir, "");
  EXPECT_FALSE(s.settings.stored);
  // Another directory is free.
  s.window.dir = "/home/op/data/qN08";
  s.openPort();
  EXPECT_TRUE(s.serial.portOpen());
}

TEST_F(Form1Continuity, WaitingLinesAreOnDiskTheMomentTheyWaitAndGoneOnceWritten) {
  s.files.faults[kWorkDir + "qn.db1"] = FakeFiles::Fault::CannotWrite;
  feedSet(s, 11);
  const std::string queue = s.form.waitingLinesFile();
  const DecodedWaitingLines kept = decodeWaitingLines(s.files.contents(queue));
  ASSERT_EQ(kept.lines.size(), 1U);
  EXPECT_EQ(kept.lines.at(kWorkDir + "qn.db1").size(), 1U);
  s.files.faults.clear();
  ASSERT_TRUE(s.retryPeriod());
  EXPECT_EQ(linesOf(s, kWorkDir + "qn.db1").size(), 1U);
  EXPECT_FALSE(s.files.exists(queue));
}

TEST_F(Form1Continuity, ALiveStationsWaitingLinesAreNotTaken) {
  s.files.faults[kWorkDir + "qn.db1"] = FakeFiles::Fault::CannotWrite;
  feedSet(s, 12);
  StationHarness other{false};
  other.files.files = s.files.files;
  other.host.pid = 6000;
  other.host.othersHold["/home/op/.local/share/meterstation/waiting-4242.lock"] = 4242;
  other.form.Form_Load();
  EXPECT_EQ(other.form.pendingAppends().totalWaiting(), 0U);
  EXPECT_TRUE(other.files.exists("/home/op/.local/share/meterstation/waiting-4242.lines"));
}

TEST_F(Form1Continuity, LockFilesOfQueuesThatAreGoneDoNotGather) {
  s.files.files["/home/op/.local/share/meterstation/waiting-17.lock"] = "17";
  s.files.files["/home/op/.local/share/meterstation/waiting-18.lock"] = "18";
  s.files.files["/home/op/.local/share/meterstation/waiting-4242.lock"] = "4242";
  StationHarness next{false};
  next.files.files = s.files.files;
  next.host.pid = 5000;
  next.host.othersHold["/home/op/.local/share/meterstation/waiting-18.lock"] = 18;  // still running
  next.form.Form_Load();
  EXPECT_FALSE(next.files.exists("/home/op/.local/share/meterstation/waiting-17.lock"));
  EXPECT_FALSE(next.files.exists("/home/op/.local/share/meterstation/waiting-4242.lock"));
  EXPECT_TRUE(next.files.exists("/home/op/.local/share/meterstation/waiting-18.lock"));
  // Its own goes at the end when nothing waits.
  next.files.files["/home/op/.local/share/meterstation/waiting-5000.lock"] = "5000";
  next.form.Form_Unload();
  EXPECT_FALSE(next.files.exists("/home/op/.local/share/meterstation/waiting-5000.lock"));
  EXPECT_FALSE(next.host.held.contains("/home/op/.local/share/meterstation/waiting-5000.lock"));
}

// A queue whose file stays while its lock goes is taken again by the next
// station to start: its lines would reach their file twice.
TEST(Form1AdoptedQueue, AQueueThatCannotBeRemovedKeepsItsLockAndItsLinesReachTheirFileOnce) {
  const std::string db = kWorkDir + "qn.db1";
  const std::string stuck = "/home/op/.local/share/meterstation/waiting-18.lines";
  const std::string stuckLock = "/home/op/.local/share/meterstation/waiting-18.lock";
  StationHarness s{false};
  s.files.files["/home/op/.local/share/meterstation/waiting-17.lines"] =
      encodeWaitingLines({{db, {"one\r\n"}}});
  s.files.files[stuck] = encodeWaitingLines({{db, {"two\r\n"}}});
  s.files.files[stuckLock] = "18";
  s.files.faults[stuck] = FakeFiles::Fault::CannotWrite;  // read, but never removed
  s.host.pid = 5000;
  s.form.Form_Load();
  EXPECT_TRUE(s.files.exists(stuck));
  EXPECT_TRUE(s.files.exists(stuckLock));
  EXPECT_TRUE(s.host.held.contains(stuckLock));
  const auto naming = [&](const std::string& item) {
    return item.find(stuck) != std::string::npos;
  };
  EXPECT_EQ(std::ranges::count_if(s.window.list2, naming), 1);

  // A station starting meanwhile finds the queue held.
  StationHarness other{false};
  other.files.files = s.files.files;
  other.host.pid = 6000;
  for (const std::string& lock : s.host.held) other.host.othersHold[lock] = 5000;
  other.form.Form_Load();
  EXPECT_EQ(fileLines(other.files.contents(db)), fileLines(s.files.contents(db)));

  s.form.Form_Unload();
  StationHarness later{false};
  later.files.files = s.files.files;  // the fault has gone
  later.host.pid = 7000;
  later.form.Form_Load();
  EXPECT_EQ(fileLines(later.files.contents(db)), (std::vector<std::string>{"one", "two"}));
  later.form.Form_Unload();
  EXPECT_FALSE(later.files.exists(stuck));
  EXPECT_FALSE(later.files.exists(stuckLock));
}

TEST_F(Form1Continuity, StaleTemporariesOfProcessesThatAreGoneAreRemoved) {
  s.files.files[kWorkDir + ".ct.tsr.tmp-999-3"] = "half";
  s.files.files[kWorkDir + ".ct.tsr.tmp-777-0"] = "being written";
  s.files.files[kWorkDir + ".notes.tmp-x"] = "not ours";
  s.host.running.insert(777);
  s.openPort(2);
  EXPECT_FALSE(s.files.exists(kWorkDir + ".ct.tsr.tmp-999-3"));
  EXPECT_TRUE(s.files.exists(kWorkDir + ".ct.tsr.tmp-777-0"));
  EXPECT_TRUE(s.files.exists(kWorkDir + ".notes.tmp-x"));
}

// Only the bytes after the last LF can be a torn append.
TEST(Form1TornTail, LinesBeforeTheLastLineFeedAreNeverMoved) {
  const std::string lfOnly = std::string(676, 'A') + "\n" + std::string(676, 'B') + "\n";
  StationHarness s;
  s.files.files[kWorkDir + "qn.db1"] = lfOnly;
  s.files.files[kWorkDir + "usage.tsr"] = "old line\r";
  s.files.files[kWorkDir + "rejects.txt"] = "whole\r\ntorn re";
  s.openPort();
  s.synchronise();
  s.burst("junk\r\n");
  feedSet(s, 13);
  const std::string db = s.files.contents(kWorkDir + "qn.db1");
  EXPECT_EQ(db.substr(0, lfOnly.size()), lfOnly);
  EXPECT_EQ(db.size(), lfOnly.size() + 678);
  EXPECT_FALSE(s.files.exists(kWorkDir + "qn.db1.partial"));
  EXPECT_TRUE(s.files.contents(kWorkDir + "usage.tsr").starts_with("old line\r\n"));
  EXPECT_TRUE(s.window.list2Has("last line of usage.tsr completed with its line end"));
  EXPECT_EQ(s.files.contents(kWorkDir + "rejects.txt.partial"), "torn re\r\n");
  EXPECT_EQ(s.files.contents(kWorkDir + "rejects.txt"), "whole\r\njunk<CR><LF>\r\n");
}

}  // namespace
}  // namespace meterstation::testing
