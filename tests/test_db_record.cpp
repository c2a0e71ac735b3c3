#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "output/db_record.h"
#include "output/set_files.h"

namespace meterstation {
namespace {

// The 40-character reading of a meter; the tag tells copies apart.
std::string readingOf(const std::string& meterField, int tag = 0) {
  char buf[48];
  std::snprintf(buf, sizeof buf, ",123,04567,12345,089,00012,%05d,12345", tag);
  return meterField + buf;
}
std::string readingOf(int meter, int tag = 0) {
  char field[8];
  std::snprintf(field, sizeof field, "%02d", meter);
  return readingOf(std::string(field), tag);
}

const std::string kStamp =
    "qN01"
    "20261208"
    "061916";

std::string snapshotOf(const std::vector<std::string>& readings) {
  std::string snapshot = kStamp;
  for (const std::string& r : readings) snapshot += "," + r;
  return snapshot;
}

std::string slotOf(const std::string& record, int slot) {
  return record.substr(19 + 41 * static_cast<std::size_t>(slot - 1), 40);
}

std::vector<std::string> inOrder() {
  std::vector<std::string> readings;
  for (int m = 1; m <= 16; ++m) readings.push_back(readingOf(m));
  return readings;
}

TEST(DbRecord, InOrderOnlyTheMarkerChanges) {
  const std::string snapshot = snapshotOf(inOrder());
  ASSERT_EQ(snapshot.size(), 674U);
  const std::string record = buildDbRecord(snapshot, "qN07");
  ASSERT_EQ(record.size(), kDbRecordLength);
  EXPECT_EQ(record, "qN07" + snapshot.substr(4) + "  ");
}

TEST(DbRecord, PermutationComesOutInMeterOrder) {
  std::vector<std::string> readings = inOrder();
  const std::vector<int> order = {5, 16, 1, 9, 2, 14, 3, 8, 12, 4, 15, 6, 11, 7, 13, 10};
  std::vector<std::string> shuffled;
  for (int m : order) shuffled.push_back(readings[static_cast<std::size_t>(m - 1)]);
  std::string record = buildDbRecord(snapshotOf(shuffled), "qN07");
  // Meter 16 arrived second: its following comma lands in column 675.
  EXPECT_EQ(record[674], ',');
  restoreTailSpace(record);
  EXPECT_EQ(record, "qN07" + snapshotOf(inOrder()).substr(4) + "  ");
}

TEST(DbRecord, MeterSixteenEarlyLeavesACommaInColumn675) {
  std::vector<std::string> readings = inOrder();
  std::swap(readings[0], readings[15]);  // 16 first, 1 last
  std::string record = buildDbRecord(snapshotOf(readings), "qN07");
  EXPECT_EQ(record.substr(674), ", ");
  EXPECT_EQ(slotOf(record, 16), readingOf(16));
  EXPECT_EQ(slotOf(record, 1), readingOf(1));
  restoreTailSpace(record);
  EXPECT_EQ(record.substr(674), "  ");
}

TEST(DbRecord, DuplicateMeterTheLastOneWins) {
  std::vector<std::string> readings = inOrder();
  readings[4] = readingOf(5, 1);
  readings[5] = readingOf(5, 2);  // meter 6 never arrives
  const std::string record = buildDbRecord(snapshotOf(readings), "qN07");
  EXPECT_EQ(slotOf(record, 5), readingOf(5, 2));
  EXPECT_EQ(slotOf(record, 6), readingOf(5, 2));
  EXPECT_EQ(record.find(readingOf(5, 1)), std::string::npos);
}

TEST(DbRecord, MeterFieldsOutsideTheSlotsStayWhereTheyArrived) {
  std::vector<std::string> readings = inOrder();
  readings[2] = readingOf("00", 1);
  readings[3] = readingOf("17", 2);
  readings[6] = readingOf(" 7", 3);
  const std::string record = buildDbRecord(snapshotOf(readings), "qN07");
  EXPECT_EQ(slotOf(record, 3), readingOf("00", 1));
  EXPECT_EQ(slotOf(record, 4), readingOf("17", 2));
  EXPECT_EQ(slotOf(record, 7), readingOf(" 7", 3));
}

TEST(DbRecord, MarkerOfAnyLength) {
  const std::string snapshot = snapshotOf(inOrder());
  EXPECT_EQ(buildDbRecord(snapshot, "ab").substr(0, 4), "ab01");
  EXPECT_EQ(buildDbRecord(snapshot, "").substr(0, 4), "qN01");
  EXPECT_EQ(buildDbRecord(snapshot, "ABCDEFG").substr(0, 5), "ABCD2");
}

TEST(DbRecord, LongReadingShiftsLaterSlotsButKeysStayAtFixedColumns) {
  std::vector<std::string> readings = inOrder();
  readings[0] = "01,1234" + readings[0].substr(6);  // 41 characters
  const std::string snapshot = snapshotOf(readings);
  const std::string record = buildDbRecord(snapshot, "qN07");
  EXPECT_EQ(record.size(), snapshot.size() + 2);
  // The later readings no longer start at their columns; none moves, and
  // nothing is written past the end.
  EXPECT_EQ(record.substr(4), snapshot.substr(4) + "  ");
}

TEST(DbRecord, ShortSnapshotNeverWritesPastItsEnd) {
  const std::string snapshot = snapshotOf({readingOf(2), readingOf(1)});
  const std::string record = buildDbRecord(snapshot, "qN07");
  EXPECT_EQ(record.size(), snapshot.size() + 2);
  EXPECT_EQ(slotOf(record, 1), readingOf(1));
}

}  // namespace
}  // namespace meterstation
