#include <gtest/gtest.h>

#include <algorithm>

#include "db2csv/conversion.h"
#include "db2csv/csv_text.h"
#include "dbline/db_line.h"
#include "fakes/station_harness.h"
#include "station_lines.h"

namespace meterstation::db2csv::testing {
using namespace meterstation::dbline;
namespace {

std::vector<std::string> rowsOf(const std::string& csv) {
  std::vector<std::string> rows;
  std::size_t start = 0;
  while (start < csv.size()) {
    const std::size_t end = csv.find("\r\n", start);
    rows.push_back(csv.substr(start, end - start));
    start = end + 2;
  }
  return rows;
}

Options filtered(const std::string& from, const std::string& to) {
  Options options;
  if (!from.empty()) options.fromKey = dateKeyOf(from);
  if (!to.empty()) options.toKey = dateKeyOf(to);
  return options;
}

TEST(CsvText, EveryCellIsQuotedAndQuotesAreDoubled) {
  EXPECT_EQ(csvCell("00123"), "\"00123\"");
  EXPECT_EQ(csvCell(""), "\"\"");
  EXPECT_EQ(csvCell("a\"b,c"), "\"a\"\"b,c\"");
  EXPECT_EQ(csvRow({"01", "x"}), "\"01\",\"x\"\r\n");
}

TEST(Convert, StationLineBecomesSixteenRowsUnderTheHeader) {
  const Conversion c = convert(fullSetLine(), Options{});
  EXPECT_TRUE(c.reports.empty());
  const std::vector<std::string> rows = rowsOf(c.csv);
  ASSERT_EQ(rows.size(), 17U);
  EXPECT_EQ(rows[0],
            "\"marker\",\"datetime\",\"meter\",\"field1\",\"field2\",\"field3\",\"field4\","
            "\"field5\",\"field6\",\"field7\",\"field8\"");
  EXPECT_EQ(rows[1],
            "\"qN07\",\"2026-12-08T06:19:16\",\"01\",\"01\",\"101\",\"04567\",\"12345\","
            "\"089\",\"00012\",\"00345\",\"12345\"");
  EXPECT_TRUE(rows[16].starts_with("\"qN07\",\"2026-12-08T06:19:16\",\"16\",\"16\",\"116\","));
  EXPECT_EQ(c.rows, 16U);
}

TEST(Convert, QuoteInsideAGoodLineIsDoubledAndTheRowsSplitAcrossPiecesMatch) {
  std::vector<Fields> readings;
  for (int m = 1; m <= 16; ++m)
    readings.push_back(fieldsOf(m, 100 + m, m == 2 ? "1\"34\"" : "12345"));
  const std::string quoted = stationLine(readings);
  const Conversion c = convert(quoted, Options{});
  ASSERT_TRUE(c.reports.empty());
  const std::vector<std::string> rows = rowsOf(c.csv);
  ASSERT_EQ(rows.size(), 17U);
  EXPECT_TRUE(rows[2].ends_with(",\"1\"\"34\"\"\""));
  // The same CSV whatever pieces the file arrives in.
  const std::string file = fullSetLine() + quoted + fullSetLine();
  std::string pieced;
  Converter converter(
      Options{}, [&](std::string_view csv) { pieced += csv; }, [](const std::string&) {});
  for (std::size_t at = 0; at < file.size(); at += 97)
    converter.feed(std::string_view(file).substr(at, 97));
  converter.finish();
  EXPECT_EQ(pieced, convert(file, Options{}).csv);
  EXPECT_EQ(converter.rows(), 48U);
}

TEST(Convert, DatesFilterWholeDaysInclusively) {
  const std::string file = fullSetLine("qN07", "12-06-2026", "23:59:59") +
                           fullSetLine("qN07", "12-07-2026", "00:00:00") +
                           fullSetLine("qN07", "12-08-2026", "23:59:59") +
                           fullSetLine("qN07", "12-09-2026", "00:00:00");
  EXPECT_EQ(convert(file, filtered("2026-12-07", "2026-12-08")).rows, 32U);
  EXPECT_EQ(convert(file, filtered("2026-12-08", "")).rows, 32U);
  EXPECT_EQ(convert(file, filtered("", "2026-12-06")).rows, 16U);
  EXPECT_EQ(convert(file, filtered("2026-12-10", "")).rows, 0U);
  const std::vector<std::string> rows = rowsOf(convert(file, filtered("2026-12-09", "")).csv);
  ASSERT_EQ(rows.size(), 17U);
  EXPECT_NE(rows[1].find("2026-12-09T00:00:00"), std::string::npos);
}

TEST(Convert, OddLinesAreReportedWithTheirNumberAndSkippedOrKept) {
  std::vector<Fields> badMeter;
  for (int m = 1; m <= 16; ++m) badMeter.push_back(fieldsOf(m == 9 ? 0 : m));
  const std::string torn = fullSetLine("qN07", "12-09-2026").substr(0, 200);
  const std::string file = fullSetLine() + stationLine(badMeter) + fullSetLine() + torn;

  const Conversion skipped = convert(file, Options{});
  ASSERT_EQ(skipped.reports.size(), 2U);
  EXPECT_EQ(skipped.reports[0], "line 2: meter field \"00\" in slot 9 is not 01 to 16 (skipped)");
  EXPECT_EQ(skipped.reports[1],
            "line 4: torn: the file ends without CR LF; 200 characters instead of 676; "
            "36 fields are not a whole number of readings (skipped)");
  EXPECT_EQ(skipped.rows, 32U);

  Options keep;
  keep.keepOdd = true;
  const Conversion kept = convert(file, keep);
  ASSERT_EQ(kept.reports.size(), 2U);
  EXPECT_TRUE(kept.reports[0].ends_with("(kept)"));
  EXPECT_EQ(kept.rows, 16U * 3 + 5);
  const std::vector<std::string> rows = rowsOf(kept.csv);
  EXPECT_NE(rows[17 + 8].find(",\"00\",\"00\",\"123\""), std::string::npos);
  // The torn reading's missing fields are empty cells, so columns line up.
  EXPECT_TRUE(rows.back().ends_with(",\"\",\"\",\"\",\"\""));
  EXPECT_EQ(std::count(rows.back().begin(), rows.back().end(), ','), 10);
}

TEST(Convert, OddLineOutsideTheDatesIsStillReportedButNotKept) {
  const std::string torn = fullSetLine("qN07", "12-01-2026").substr(0, 300);
  Options options = filtered("2026-12-08", "");
  options.keepOdd = true;
  const Conversion c = convert(fullSetLine() + torn, options);
  ASSERT_EQ(c.reports.size(), 1U);
  EXPECT_TRUE(c.reports[0].starts_with("line 2: torn"));
  EXPECT_TRUE(c.reports[0].ends_with("(skipped)"));
  EXPECT_EQ(c.rows, 16U);
}

// The station itself, over the fakes, writes the database that is converted.
TEST(Convert, DatabaseWrittenByAWholeStationConvertsEveryReading) {
  meterstation::testing::StationHarness s;
  s.window.texts[TextId::Text3] = "3";
  s.openPort();
  s.synchronise();
  const std::vector<int> order = {3, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16, 15};
  for (int set = 0; set < 2; ++set) {
    s.clock.date = set == 0 ? "12-07-2026" : "12-08-2026";
    for (int m : order) ASSERT_TRUE(s.burst(meterstation::testing::readingOf(m, 10 * set + m)));
  }
  const std::string db = s.files.contents(s.workFile("qn.db1"));
  ASSERT_FALSE(db.empty());

  const Conversion c = convert(db, Options{});
  EXPECT_TRUE(c.reports.empty());
  const std::vector<std::string> rows = rowsOf(c.csv);
  ASSERT_EQ(rows.size(), 33U);
  EXPECT_EQ(rows[1],
            "\"qN07\",\"2026-12-07T06:19:16\",\"01\",\"01\",\"001\",\"04567\",\"12345\","
            "\"089\",\"00012\",\"00345\",\"12345\"");
  EXPECT_NE(rows[17 + 14].find("\"2026-12-08T06:19:16\",\"15\",\"15\",\"025\""), std::string::npos);

  // Power went in the middle of the next append.
  const Conversion torn = convert(db + db.substr(0, 333), Options{});
  ASSERT_EQ(torn.reports.size(), 1U);
  EXPECT_TRUE(torn.reports[0].starts_with("line 3: torn"));
  EXPECT_EQ(torn.rows, 32U);
}

}  // namespace
}  // namespace meterstation::db2csv::testing
