#include <gtest/gtest.h>

#include "fakes/station_harness.h"
#include "output/set_journal.h"
#include "output/support_files.h"
#include "output/waiting_lines.h"
#include "station/file_ends.h"

namespace meterstation::testing {
namespace {

const std::string kDatabase = kWorkDir + "qn.db1";
// What a handler may read, however large its files: a few tail blocks.
constexpr std::uint64_t kFewBlocks = 4 * kTailBlock;

// Database lines, each told apart by its number: 6000 of them, 4 MB.
const std::string& manyLines() {
  static const std::string lines = [] {
    std::string bytes;
    for (int k = 0; k < 6000; ++k) {
      const std::string number = std::to_string(k);
      bytes += number + std::string(676 - number.size(), 'd') + "\r\n";
    }
    return bytes;
  }();
  return lines;
}

// Every shape of end, against the rule applied to the whole file.
TEST(FileEnds, TheTailFoundFromTheEndIsTheOneTheWholeFileHas) {
  FakeFiles files;
  for (std::size_t before : {0UL, 1UL, 4095UL, 4096UL, 10000UL}) {
    for (std::size_t torn : {0UL, 1UL, 4095UL, 4096UL, 4097UL, 9000UL}) {
      for (const char* end : {"\n", "\r", "x"}) {
        const std::string bytes = std::string(before, 'a') + (before > 0 ? "\n" : "") +
                                  std::string(torn, 'b') + (torn > 0 ? end : "");
        SCOPED_TRACE(std::to_string(before) + " " + std::to_string(torn) + " " + end);
        files.files["f"] = bytes;
        files.bytesRead = 0;
        const TailCheck check = checkTail(files, "f");
        const TailRepair whole = tailRepairOf(bytes);
        ASSERT_TRUE(check.ok);
        EXPECT_FALSE(check.more);
        EXPECT_EQ(check.repair.kind, whole.kind);
        if (whole.kind != TailRepair::Kind::CutTail) {
          EXPECT_LE(files.bytesRead, kTailBlock);
          continue;
        }
        EXPECT_EQ(check.repair.tailStart, whole.tailStart);
        EXPECT_EQ(check.repair.tail, whole.tail);
        EXPECT_LE(files.bytesRead, whole.tail.size() + kTailBlock);
      }
    }
  }
  // No LF within the bound: only the bound's bytes are taken.
  files.files["f"] = manyLines() + std::string(kTailBound + 5, 'b');
  files.bytesRead = 0;
  const TailCheck check = checkTail(files, "f");
  EXPECT_TRUE(check.more);
  EXPECT_EQ(check.repair.tailStart, files.files["f"].size() - kTailBound);
  EXPECT_EQ(files.bytesRead, kTailBound);
  files.faults["f"] = FakeFiles::Fault::CannotOpen;
  EXPECT_FALSE(checkTail(files, "f").ok);
}

class Form1LargeFiles : public ::testing::Test {
 protected:
  void start(StationHarness& s) {
    s.window.texts[TextId::Text3] = "20";
    s.openPort();
    s.synchronise();
  }
  void feedSet(StationHarness& s, int value) {
    for (int m = 1; m <= 16; ++m) ASSERT_TRUE(s.burst(readingOf(m, value)));
  }
};

TEST_F(Form1LargeFiles, ASetOnAYearOfLinesReadsOnlyTheFilesEnd) {
  StationHarness s;
  s.files.files[kDatabase] = manyLines() + "torn";
  start(s);
  s.files.bytesRead = 0;
  feedSet(s, 7);
  EXPECT_LE(s.files.bytesRead, kFewBlocks);
  const std::string& db = s.files.contents(kDatabase);
  EXPECT_EQ(db.size(), manyLines().size() + 678);
  EXPECT_TRUE(db.starts_with(manyLines()));
  EXPECT_EQ(s.files.contents(kDatabase + ".partial"), "torn\r\n");
}

// The journal and the waiting lines of a run that was killed name the line
// they are about: only it is read, where it must be.
TEST_F(Form1LargeFiles, AnEarlierRunsLinesAreLookedForWhereItLeftThem) {
  const std::string line = std::string(676, 'n') + "\r\n";
  const std::string journal =
      journalReading({readingOf(1).substr(0, 40), "06:19:16 12-08-2026"}) + journalCompletion(line);
  for (bool reached : {true, false}) {
    StationHarness s{false};
    s.files.files[kDatabase] = manyLines() + (reached ? line : "");
    s.files.files[kWorkDir + kJournalFile] = journal;
    s.form.Form_Load();
    s.files.bytesRead = 0;
    start(s);
    EXPECT_LE(s.files.bytesRead, kFewBlocks);
    EXPECT_EQ(s.files.exists(kWorkDir + kIncompleteSetsFile), !reached);
  }
  for (bool delivered : {true, false}) {
    StationHarness s{false};
    s.files.files[kDatabase] = manyLines() + (delivered ? line : "");
    s.files.files["/home/op/.local/share/meterstation/waiting-17.lines"] =
        encodeWaitingLines({{kDatabase, {line}}}, {{kDatabase, manyLines().size()}});
    s.form.Form_Load();
    EXPECT_LE(s.files.bytesRead, kFewBlocks);
    EXPECT_EQ(s.files.contents(kDatabase).size(), manyLines().size() + 678) << "written once";
    EXPECT_EQ(s.form.pendingAppends().totalWaiting(), 0U);
  }
}

// A tail longer than the bound (a reject of a burst that never fell quiet)
// goes a bound's worth at a time; the lines wait until its LF is reached.
TEST_F(Form1LargeFiles, ATailLongerThanTheBoundIsMovedAPieceAtATime) {
  StationHarness s;
  const std::string lines = manyLines().substr(0, 6780);
  s.files.files[kDatabase] = lines + std::string(kTailBound + 100, 'x');
  start(s);
  s.files.bytesRead = 0;
  feedSet(s, 3);
  EXPECT_LE(s.files.bytesRead, kTailBound + kFewBlocks);
  EXPECT_TRUE(s.window.list2Has(
      "65536 bytes of the torn last line of qn.db1 moved to qn.db1.partial, more at the next try"));
  EXPECT_EQ(s.files.contents(kDatabase).size(), lines.size() + 100);
  EXPECT_EQ(s.form.pendingAppends().waiting(kDatabase), 1U);

  s.files.bytesRead = 0;
  ASSERT_TRUE(s.retryPeriod());
  EXPECT_LE(s.files.bytesRead, kFewBlocks);
  EXPECT_EQ(s.files.contents(kDatabase + ".partial"),
            std::string(kTailBound, 'x') + "\r\n" + std::string(100, 'x') + "\r\n");
  const std::vector<std::string> db = fileLines(s.files.contents(kDatabase));
  ASSERT_EQ(db.size(), 11U);
  EXPECT_EQ(db[10].size(), 676U) << "the set's line stands on its own";
  EXPECT_EQ(s.form.pendingAppends().totalWaiting(), 0U);
}

}  // namespace
}  // namespace meterstation::testing
