#include <gtest/gtest.h>

#include "dbline/db_line.h"
#include "station_lines.h"

namespace meterstation::db2csv::testing {
using namespace meterstation::dbline;
namespace {

RawLine whole(const std::string& withCrLf, std::size_t number = 1) {
  return {number, withCrLf.substr(0, withCrLf.size() - 2), false};
}

TEST(SplitLines, CutsAtCrLfAndMarksOnlyAnUnfinishedLastLineTorn) {
  const std::vector<RawLine> lines = splitLines("one\r\ntw\no\r\nthr");
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_EQ(lines[0].text, "one");
  EXPECT_EQ(lines[1].text, "tw\no");
  EXPECT_EQ(lines[2].text, "thr");
  EXPECT_EQ(lines[2].number, 3U);
  EXPECT_FALSE(lines[0].torn);
  EXPECT_FALSE(lines[1].torn);
  EXPECT_TRUE(lines[2].torn);

  EXPECT_TRUE(splitLines("").empty());
  const std::vector<RawLine> ended = splitLines("a\r\n\r\n");
  ASSERT_EQ(ended.size(), 2U);
  EXPECT_EQ(ended[1].text, "");
  EXPECT_FALSE(ended[1].torn);
  // A CR at the very end is no line end yet: power went between CR and LF.
  const std::vector<RawLine> cut = splitLines("a\r\nb\r");
  ASSERT_EQ(cut.size(), 2U);
  EXPECT_TRUE(cut[1].torn);
  EXPECT_EQ(cut[1].text, "b\r");
}

TEST(TimeAndDate, StampsAndFilterDatesAreCheckedAsCalendarDates) {
  EXPECT_EQ(isoTimeOf("20261208061916"), "2026-12-08T06:19:16");
  EXPECT_EQ(isoTimeOf("20240229235959"), "2024-02-29T23:59:59");
  EXPECT_EQ(isoTimeOf("20250229000000"), std::nullopt);
  EXPECT_EQ(isoTimeOf("20261308061916"), std::nullopt);
  EXPECT_EQ(isoTimeOf("20261208241916"), std::nullopt);
  EXPECT_EQ(isoTimeOf("20261208066016"), std::nullopt);
  EXPECT_EQ(isoTimeOf("2026120806191"), std::nullopt);
  EXPECT_EQ(isoTimeOf("2026-208061916"), std::nullopt);

  EXPECT_EQ(dateKeyOf("2026-12-08"), "20261208");
  EXPECT_EQ(dateKeyOf("2026-04-31"), std::nullopt);
  EXPECT_EQ(dateKeyOf("2026/12/08"), std::nullopt);
  EXPECT_EQ(dateKeyOf("2026-12-8"), std::nullopt);
  EXPECT_EQ(dateKeyOf("20261208"), std::nullopt);
  EXPECT_EQ(dateKeyOf("2026-1a-08"), std::nullopt);
}

TEST(ParseLine, StationLineGivesSixteenMetersWithFieldsAsTheyStand) {
  const ParsedLine parsed = parseLine(whole(fullSetLine()));
  EXPECT_TRUE(parsed.problems.empty()) << parsed.problems.front();
  EXPECT_EQ(parsed.marker, "qN07");
  EXPECT_EQ(parsed.isoTime, "2026-12-08T06:19:16");
  ASSERT_EQ(parsed.rows.size(), 16U);
  for (int m = 1; m <= 16; ++m) {
    const MeterRow& row = parsed.rows[m - 1];
    const Fields expected = fieldsOf(m, 100 + m);
    EXPECT_EQ(row.meter, expected[0]);
    EXPECT_EQ(row.fields, std::vector<std::string>(expected.begin(), expected.end()));
  }
  EXPECT_EQ(parsed.rows[0].fields[0], "01");
  EXPECT_EQ(parsed.rows[0].fields[4], "089");
  EXPECT_EQ(parsed.rows[0].fields[5], "00012");
}

TEST(ParseLine, ReadingsArrivingOutOfOrderAreReadInMeterOrder) {
  std::vector<Fields> readings;
  for (int m = 16; m >= 1; --m) readings.push_back(fieldsOf(m, 200 + m));
  const ParsedLine parsed = parseLine(whole(stationLine(readings)));
  EXPECT_TRUE(parsed.problems.empty());
  ASSERT_EQ(parsed.rows.size(), 16U);
  EXPECT_EQ(parsed.rows[0].meter, "01");
  EXPECT_EQ(parsed.rows[0].fields[1], "201");
  EXPECT_EQ(parsed.rows[15].meter, "16");
  EXPECT_EQ(parsed.rows[15].fields[1], "216");
}

TEST(ParseLine, MeterOutsideTheRangeIsNamedWithItsSlot) {
  std::vector<Fields> readings;
  for (int m = 1; m <= 16; ++m) readings.push_back(fieldsOf(m == 5 ? 17 : m));
  const ParsedLine parsed = parseLine(whole(stationLine(readings)));
  ASSERT_EQ(parsed.rows.size(), 16U);
  ASSERT_EQ(parsed.problems.size(), 1U);
  EXPECT_EQ(parsed.problems[0], "meter field \"17\" in slot 5 is not 01 to 16");
  EXPECT_FALSE(parsed.rows[4].meterInRange);
  EXPECT_TRUE(parsed.rows[5].meterInRange);
}

TEST(ParseLine, CommaInsideTheLastFieldStaysThereOnALineOfFullLength) {
  // Nine commas in a 40-character reading: the station keeps the surplus in
  // the eighth field; the meters after it must not move.
  std::vector<Fields> readings;
  for (int m = 1; m <= 16; ++m)
    readings.push_back(fieldsOf(m, 100 + m, m == 3 ? "1,345" : "12345"));
  const ParsedLine parsed = parseLine(whole(stationLine(readings)));
  ASSERT_EQ(parsed.rows.size(), 16U);
  EXPECT_TRUE(parsed.problems.empty());
  EXPECT_EQ(parsed.rows[2].fields[7], "1,345");
  EXPECT_EQ(parsed.rows[3].meter, "04");
  EXPECT_EQ(parsed.rows[3].fields[1], "104");
}

TEST(ParseLine, LongFieldMakesALongerLineStillSplitByCommas) {
  std::vector<Fields> readings;
  for (int m = 1; m <= 16; ++m) readings.push_back(fieldsOf(m, m == 2 ? 123456 : 100 + m));
  const std::string line = stationLine(readings);
  ASSERT_EQ(line.size(), 678U + 3U);
  const ParsedLine parsed = parseLine(whole(line, 7));
  ASSERT_EQ(parsed.problems.size(), 1U);
  EXPECT_EQ(parsed.problems[0], "679 characters instead of 676");
  ASSERT_EQ(parsed.rows.size(), 16U);
  EXPECT_EQ(parsed.rows[1].fields[1], "123456");
  EXPECT_EQ(parsed.rows[15].meter, "16");
  EXPECT_EQ(parsed.rows[15].fields[7], "12345");
}

TEST(ParseLine, TornLineKeepsWhatItHasAndSaysWhy) {
  const std::string line = fullSetLine().substr(0, 90);
  const ParsedLine parsed = parseLine({9, line, true});
  ASSERT_EQ(parsed.problems.size(), 3U);
  EXPECT_EQ(parsed.problems[0], "torn: the file ends without CR LF");
  EXPECT_EQ(parsed.problems[1], "90 characters instead of 676");
  EXPECT_EQ(parsed.problems[2], "15 fields are not a whole number of readings");
  ASSERT_EQ(parsed.rows.size(), 2U);
  EXPECT_EQ(parsed.rows[0].fields.size(), 8U);
  EXPECT_EQ(parsed.rows[1].meter, "02");
  EXPECT_EQ(parsed.rows[1].fields.size(), 7U);
  EXPECT_EQ(parsed.rows[1].fields[6], "0");
  EXPECT_EQ(parsed.isoTime, "2026-12-08T06:19:16");
}

TEST(ParseLine, DamagedHeaderOrSlotsOfAFullLengthLineAreReported) {
  std::string text = whole(fullSetLine()).text;
  text[6] = 'x';
  text[18 + 41 * 3] = ';';
  text[675] = 'Z';
  const ParsedLine parsed = parseLine({1, text, false});
  ASSERT_EQ(parsed.problems.size(), 3U);
  EXPECT_EQ(parsed.problems[0], "columns 5-18 \"20x61208061916\" are no date and time");
  EXPECT_EQ(parsed.problems[1], "no comma before meter slot 4 (column 142)");
  EXPECT_EQ(parsed.problems[2], "columns 675-676 are not two spaces");
  EXPECT_EQ(parsed.rows[3].meter, "04");
}

TEST(ParseLine, ShortAndEmptyLinesDoNotReadPastTheirEnd) {
  for (const std::string text : {"", "q", "qN07", "qN0720261208"}) {
    const ParsedLine parsed = parseLine({1, text, false});
    EXPECT_FALSE(parsed.problems.empty()) << text;
    EXPECT_FALSE(parsed.isoTime) << text;
  }
  const ParsedLine headerOnly = parseLine({1, "qN0720261208061916", false});
  EXPECT_TRUE(headerOnly.rows.empty());
  EXPECT_EQ(headerOnly.isoTime, "2026-12-08T06:19:16");
}

}  // namespace
}  // namespace meterstation::db2csv::testing
