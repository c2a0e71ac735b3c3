#include <gtest/gtest.h>

#include <cmath>

#include "dbline/db_line.h"
#include "trend_lines.h"
#include "trends/core/stamp_time.h"
#include "trends/core/trend_reader.h"

namespace meterstation::trends::testing {
namespace {

struct Read {
  TrendData data;
  std::vector<OddLine> odd;
};

Read readAll(const std::string& bytes, int field = 2) {
  Read r;
  TrendReader reader(field, [&](const OddLine& odd) { r.odd.push_back(odd); });
  reader.feed(bytes);
  if (const auto pending = reader.pendingOdd()) r.odd.push_back(*pending);
  r.data = reader.data();
  return r;
}

TEST(GoodLineFastPath, AgreesWithTheFullParserOnEveryDamageOfAStationLine) {
  const std::string line = flatLine(123, "06:19:16");
  const std::string text = line.substr(0, line.size() - 2);
  std::vector<std::string> variants;
  for (std::size_t at = 0; at < text.size(); ++at) {
    for (char c : {',', 'x', '1', ' ', '0'}) {
      std::string damaged = text;
      damaged[at] = c;
      variants.push_back(damaged);
    }
  }
  for (std::size_t length : {0UL, 18UL, 675UL, 677UL})
    variants.push_back((text + "  ").substr(0, length));
  std::size_t good = 0;
  for (const std::string& v : variants) {
    for (bool torn : {false, true}) {
      dbline::GoodLine fast;
      const dbline::ParsedLine full = dbline::parseLine({1, v, torn});
      ASSERT_EQ(dbline::readGoodLine(v, torn, fast), full.problems.empty()) << v;
      if (!full.problems.empty()) continue;
      ++good;
      for (std::size_t k = 0; k < 16; ++k) {
        for (std::size_t f = 0; f < 8; ++f) ASSERT_EQ(fast.fields[k][f], full.rows[k].fields[f]);
      }
    }
  }
  // Digits changed into other digits stay good lines, so both ways are tried.
  EXPECT_GT(good, 100U);
}

TEST(TrendReader, GoodSetsGiveEachMeterItsValueAtTheSetsTime) {
  std::vector<int> values;
  for (int m = 1; m <= 16; ++m) values.push_back(100 + m);
  const Read r = readAll(setLine(values, "06:19:16") + flatLine(7, "06:20:16"));
  EXPECT_TRUE(r.odd.empty());
  ASSERT_EQ(r.data.size(), 2U);
  EXPECT_EQ(r.data.times[0], daySeconds(2026, 12, 8) + std::int64_t{6 * 3600 + 19 * 60 + 16});
  EXPECT_EQ(r.data.times[1] - r.data.times[0], 60);
  EXPECT_EQ(r.data.value(0, 1), 101.0F);
  EXPECT_EQ(r.data.value(0, 16), 116.0F);
  EXPECT_EQ(r.data.value(1, 9), 7.0F);
  EXPECT_TRUE(r.data.rising);
}

TEST(TrendReader, OddLinesAreCountedWithTheirNumberAndDb2csvsWordsAndNeverDrawn) {
  std::vector<Fields> readings;
  for (int m = 1; m <= 16; ++m) readings.push_back(fieldsOf(m == 4 ? 17 : m));
  const std::string good = flatLine(5, "06:19:16");
  const std::string bytes =
      good + "garbage\r\n" + stationLine(readings) + flatLine(6, "06:21:16") + good.substr(0, 300);
  const Read r = readAll(bytes);
  ASSERT_EQ(r.data.size(), 2U);
  EXPECT_EQ(r.data.value(1, 1), 6.0F);
  ASSERT_EQ(r.odd.size(), 3U);
  EXPECT_EQ(
      reportText(r.odd[0]),
      "line 2: 7 characters instead of 676; columns 5-18 \"age\" are no date and time (skipped)");
  EXPECT_EQ(reportText(r.odd[1]), "line 3: meter field \"17\" in slot 4 is not 01 to 16 (skipped)");
  EXPECT_EQ(r.odd[2].number, 5U);
  EXPECT_TRUE(r.odd[2].why.starts_with("torn: the file ends without CR LF; 300 characters"));
}

TEST(TrendReader, ValueThatIsNoNumberIsLeftOutAndReportedTheRestOfTheSetDrawn) {
  std::vector<Fields> readings;
  for (int m = 1; m <= 16; ++m) readings.push_back(fieldsOf(m, 200));
  readings[2][1] = "1a3";
  readings[5][6] = "0.250";  // field 7 with a point: a number
  const Read r = readAll(stationLine(readings));
  ASSERT_EQ(r.data.size(), 1U);
  EXPECT_TRUE(std::isnan(r.data.value(0, 3)));
  EXPECT_EQ(r.data.value(0, 4), 200.0F);
  ASSERT_EQ(r.odd.size(), 1U);
  EXPECT_EQ(reportText(r.odd[0]),
            "line 1: field 2 of meter 03 \"1a3\" is not a number (value skipped)");
  const Read seventh = readAll(stationLine(readings), 7);
  EXPECT_TRUE(seventh.odd.empty());
  EXPECT_FLOAT_EQ(seventh.data.value(0, 6), 0.25F);
}

TEST(TrendReader, SlotHoldingAnotherMetersReadingGivesThatSlotsMeterNoValue) {
  // Meter 13 never came; slot 13 keeps meter 08's reading, as the station
  // writes such a set: meter 13 has no value, meter 8 its own.
  std::vector<Fields> readings;
  for (int m = 1; m <= 16; ++m) readings.push_back(fieldsOf(m == 13 ? 8 : m, m == 13 ? 999 : 300));
  const Read r = readAll(stationLine(readings));
  ASSERT_EQ(r.data.size(), 1U);
  EXPECT_TRUE(r.odd.empty());
  EXPECT_TRUE(std::isnan(r.data.value(0, 13)));
  EXPECT_EQ(r.data.value(0, 8), 999.0F);
}

TEST(FieldNumber, DigitsWithAtMostOnePoint) {
  EXPECT_EQ(fieldNumber("188"), 188.0F);
  EXPECT_EQ(fieldNumber("00012"), 12.0F);
  EXPECT_FLOAT_EQ(*fieldNumber(".25"), 0.25F);
  EXPECT_EQ(fieldNumber(""), std::nullopt);
  EXPECT_EQ(fieldNumber("."), std::nullopt);
  EXPECT_EQ(fieldNumber("1.2.3"), std::nullopt);
  EXPECT_EQ(fieldNumber("-5"), std::nullopt);
  EXPECT_EQ(fieldNumber("1 2"), std::nullopt);
  EXPECT_EQ(fieldNumber(std::string("1\0", 2)), std::nullopt);
}

}  // namespace
}  // namespace meterstation::trends::testing
