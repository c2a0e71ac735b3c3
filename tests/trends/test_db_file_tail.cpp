#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "temp_dir_test.h"
#include "trend_lines.h"
#include "trends/core/db_file_tail.h"

namespace meterstation::trends::testing {
namespace {

class DbFileTailTest : public TempDirTest {
 protected:
  std::vector<OddLine> odd_;
  TrendReader reader_{2, [this](const OddLine& o) { odd_.push_back(o); }};
};

TEST_F(DbFileTailTest, ReadsOnlyWhatWasAppendedAndFinishesATornLineOnceItEnds) {
  DbFileTail tail(dbPath());
  const TailOutcome missing = tail.readMore(reader_);
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.error, "No such file or directory");

  const std::string second = flatLine(2, "06:01:00");
  appendDb(flatLine(1, "06:00:00") + second.substr(0, 200));
  EXPECT_EQ(tail.readMore(reader_).bytes, 678U + 200U);
  EXPECT_EQ(reader_.data().size(), 1U);
  ASSERT_TRUE(reader_.pendingOdd());
  EXPECT_EQ(reader_.pendingOdd()->number, 2U);
  EXPECT_EQ(tail.readMore(reader_).bytes, 0U);  // nothing new: nothing read

  appendDb(second.substr(200));
  EXPECT_EQ(tail.readMore(reader_).bytes, 200U + 478U);  // the piece again, and the rest
  EXPECT_EQ(reader_.data().size(), 2U);
  EXPECT_FALSE(reader_.pendingOdd());
  EXPECT_TRUE(odd_.empty());
}

TEST_F(DbFileTailTest, TornPieceCutOffByTheStationIsReadAgainFromItsStart) {
  DbFileTail tail(dbPath());
  appendDb(flatLine(1, "06:00:00") + flatLine(9, "06:01:00").substr(0, 300));
  tail.readMore(reader_);
  // The station moves the torn piece to qn.db1.partial and appends a set.
  std::filesystem::resize_file(dbPath(), 678);
  appendDb(flatLine(3, "06:02:00"));
  const TailOutcome outcome = tail.readMore(reader_);
  EXPECT_TRUE(outcome.ok);
  EXPECT_FALSE(outcome.replaced);
  ASSERT_EQ(reader_.data().size(), 2U);
  EXPECT_EQ(reader_.data().value(1, 1), 3.0F);
  EXPECT_TRUE(odd_.empty());
}

TEST_F(DbFileTailTest, ShrunkOrReplacedFileAsksToBeReadAnew) {
  DbFileTail tail(dbPath());
  appendDb(flatLine(1, "06:00:00") + flatLine(2, "06:01:00"));
  tail.readMore(reader_);
  std::filesystem::resize_file(dbPath(), 100);
  EXPECT_TRUE(tail.readMore(reader_).replaced);

  DbFileTail other(dbPath());
  other.readMore(reader_);
  const std::string moved = dir_ + "/new.db1";
  std::ofstream(moved, std::ios::binary) << flatLine(5, "07:00:00") << flatLine(5, "07:01:00");
  std::filesystem::rename(moved, dbPath());
  EXPECT_TRUE(other.readMore(reader_).replaced);

  DbFileTail directory(dir_);
  EXPECT_EQ(directory.readMore(reader_).error, "Is a directory");
}

}  // namespace
}  // namespace meterstation::trends::testing
