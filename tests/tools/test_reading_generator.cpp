#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "processor-sim/reading_generator.h"
#include "reading_shape.h"

namespace meterstation::sim {
namespace {

TEST(ReadingFormat, ZeroFillsEveryFieldToItsWidth) {
  EXPECT_EQ(formatReading({1, 123, 4567, 12345, 89, 12, 345, 12345}),
            "01,123,04567,12345,089,00012,00345,12345\r\n");
  EXPECT_EQ(formatReading({16, 0, 0, 0, 0, 0, 0, 10000}),
            "16,000,00000,00000,000,00000,00000,10000\r\n");
}

// The shape check includes field 8 at 10000 or above, which keeps the
// station's scratch-file parse from shifting the fields.
TEST(ReadingGenerator, ReadingsHaveTheStationsShapeForEveryMeter) {
  ReadingGenerator generator(7);
  for (int round = 0; round < 300; ++round) {
    for (int meter = 1; meter <= kMeterCount; ++meter) {
      const std::string text = generator.reading(meter);
      ASSERT_TRUE(isValidReading(text)) << text;
      EXPECT_EQ(meterOf(text), meter);
    }
  }
}

TEST(ReadingGenerator, SameSeedSameValuesOtherSeedOtherValues) {
  ReadingGenerator first(42), second(42), other(43);
  std::string a, b, c;
  for (int meter = 1; meter <= kMeterCount; ++meter) {
    a += first.reading(meter) + first.garbage();
    b += second.reading(meter) + second.garbage();
    c += other.reading(meter) + other.garbage();
  }
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
}

TEST(ReadingGenerator, ShuffledOrderIsAFreshPermutationOfTheSixteenMeters) {
  ReadingGenerator generator(5);
  std::vector<int> sorted(kMeterCount);
  for (int i = 0; i < kMeterCount; ++i) sorted[static_cast<std::size_t>(i)] = i + 1;
  EXPECT_EQ(generator.meterOrder(false), sorted);

  std::set<std::vector<int>> seen;
  for (int set = 0; set < 20; ++set) {
    std::vector<int> order = generator.meterOrder(true);
    seen.insert(order);
    std::sort(order.begin(), order.end());
    EXPECT_EQ(order, sorted);
  }
  EXPECT_GT(seen.size(), 15u);
}

TEST(ReadingGenerator, GarbageIsNeverAReadingAndNeverEmpty) {
  ReadingGenerator generator(11);
  for (int i = 0; i < 2000; ++i) {
    const std::string text = generator.garbage();
    ASSERT_FALSE(text.empty());
    ASSERT_FALSE(isValidReading(text));
    // Even the station's lenient in-memory split needs seven commas.
    ASSERT_LT(std::count(text.begin(), text.end(), ','), 7);
  }
}

TEST(ReadingGenerator, NulReadingIsTheReadingWithNulsInsideIt) {
  ReadingGenerator generator(13);
  for (int i = 0; i < 500; ++i) {
    const std::string text = generator.readingWithNuls(9);
    std::string withoutNuls = text;
    std::erase(withoutNuls, '\0');
    const std::size_t nuls = text.size() - withoutNuls.size();
    ASSERT_GE(nuls, 1u);
    ASSERT_LE(nuls, 3u);
    ASSERT_NE(text.front(), '\0');
    ASSERT_TRUE(isValidReading(withoutNuls)) << withoutNuls;
    EXPECT_EQ(meterOf(withoutNuls), 9);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  }
}

TEST(ReadingGenerator, ShortLineHasFewerThanSevenCommasAndEndsItsLine) {
  ReadingGenerator generator(17);
  std::set<long> commaCounts;
  for (int i = 0; i < 500; ++i) {
    const std::string text = generator.shortLine(4);
    const long commas = std::count(text.begin(), text.end(), ',');
    ASSERT_LT(commas, 7);
    commaCounts.insert(commas);
    EXPECT_EQ(text.substr(0, 2), "04");
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  }
  // Every cut from one field to seven turns up.
  EXPECT_EQ(commaCounts.size(), 7u);
}

}  // namespace
}  // namespace meterstation::sim
