#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "trends/core/column_reduction.h"
#include "trends/core/plot_geometry.h"

namespace meterstation::trends {
namespace {

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

// Meter 1 takes the values; the others stay empty.
TrendData meterOne(const std::vector<std::pair<std::int64_t, float>>& points) {
  TrendData data;
  for (const auto& [t, v] : points) {
    float sixteen[kMeters];
    std::fill(sixteen, sixteen + kMeters, kNone);
    sixteen[0] = v;
    data.append(t, sixteen);
  }
  return data;
}

TEST(ColumnOf, BothEndsOfTheRangeAreInsideAndNothingBeyond) {
  const TimeRange r{1000, 2000};
  EXPECT_EQ(columnOf(1000, r, 10), 0);
  EXPECT_EQ(columnOf(1099, r, 10), 0);
  EXPECT_EQ(columnOf(1100, r, 10), 1);
  EXPECT_EQ(columnOf(1999, r, 10), 9);
  EXPECT_EQ(columnOf(2000, r, 10), 9);
  EXPECT_EQ(columnOf(999, r, 10), -1);
  EXPECT_EQ(columnOf(2001, r, 10), -1);
  EXPECT_EQ(columnOf(1500, r, 0), -1);
  EXPECT_EQ(columnOf(1000, {1000, 1000}, 10), 0);
}

TEST(ReduceToColumns, EachColumnKeepsItsLowestHighestFirstAndLast) {
  const TrendData data = meterOne({{999, 50},
                                   {1000, 7},
                                   {1010, 3},
                                   {1020, kNone},
                                   {1050, 9},
                                   {1099, 5},
                                   {1100, 4},
                                   {2000, 8},
                                   {2001, 60}});
  const Reduction r = reduceToColumns(data, {1000, 2000}, 10, 1000);
  EXPECT_EQ(r.points, 7);
  const std::vector<ColumnSpan>& c = r.meters[0];
  EXPECT_EQ(c[0].points, 4);  // the NaN is no point of meter 1
  EXPECT_EQ(c[0].low, 3);
  EXPECT_EQ(c[0].high, 9);
  EXPECT_EQ(c[0].first, 7);
  EXPECT_EQ(c[0].last, 5);
  EXPECT_EQ(c[1].points, 1);
  EXPECT_EQ(c[1].low, 4);
  EXPECT_EQ(c[9].points, 1);  // the range's last second
  EXPECT_EQ(c[9].high, 8);
  for (int k = 2; k < 9; ++k) EXPECT_EQ(c[static_cast<std::size_t>(k)].points, 0);
  EXPECT_EQ(r.meters[5][0].points, 0);
  // The value before the range joins the line into it.
  EXPECT_TRUE(c[0].joined);
}

TEST(ReduceToColumns, WideGapBreaksTheLineAndOutOfOrderTimesStillLandRight) {
  const TrendData rising = meterOne({{0, 1}, {10, 2}, {20, 3}, {500, 4}, {510, 5}});
  const Reduction r = reduceToColumns(rising, {0, 600}, 60, 100);
  EXPECT_FALSE(r.meters[0][0].joined);
  EXPECT_TRUE(r.meters[0][1].joined);
  EXPECT_FALSE(r.meters[0][50].joined);  // 500 after 20: a gap
  EXPECT_TRUE(r.meters[0][51].joined);

  const TrendData backwards = meterOne({{500, 4}, {0, 1}, {250, 9}});
  EXPECT_FALSE(backwards.rising);
  const Reduction b = reduceToColumns(backwards, {0, 500}, 2, 1000);
  EXPECT_EQ(b.meters[0][0].points, 1);
  EXPECT_EQ(b.meters[0][1].points, 2);
  EXPECT_EQ(b.meters[0][1].low, 4);
  EXPECT_EQ(b.meters[0][1].high, 9);
}

TEST(ReduceToColumns, WholeBlocksGiveWhatLookingAtEverySetGives) {
  // Rising times with gaps, repeats and missing values, the way a station
  // that was stopped now and then writes them.
  TrendData data;
  std::uint32_t seed = 12345;
  const auto next = [&seed] { return seed = seed * 1664525U + 1013904223U; };
  std::int64_t t = 1000;
  for (int i = 0; i < 5000; ++i) {
    t += next() % 7 == 0 ? 0 : 55 + static_cast<std::int64_t>(next() % 3);
    if (next() % 500 == 0) t += 20000;
    float sixteen[kMeters];
    for (int m = 0; m < kMeters; ++m) {
      sixteen[m] = next() % 5 == 0 ? kNone : static_cast<float>(next() % 1000);
    }
    data.append(t, sixteen);
  }
  TrendData scanned = data;
  scanned.rising = false;  // the same sets, looked at one by one
  ASSERT_TRUE(data.rising);
  for (const TimeRange range : {TimeRange{1000, t}, TimeRange{50000, 51000}, TimeRange{0, t + 5000},
                                TimeRange{1055, 1055 + 16 * 55}}) {
    for (int columns : {1, 7, 300, 1600}) {
      const Reduction fast = reduceToColumns(data, range, columns, 600);
      const Reduction slow = reduceToColumns(scanned, range, columns, 600);
      ASSERT_EQ(fast.points, slow.points);
      for (std::size_t m = 0; m < kMeters; ++m) {
        for (std::size_t c = 0; c < static_cast<std::size_t>(columns); ++c) {
          const ColumnSpan& f = fast.meters[m][c];
          const ColumnSpan& s = slow.meters[m][c];
          ASSERT_EQ(f.points, s.points) << "range " << range.from << " columns " << columns;
          if (f.points == 0) continue;
          ASSERT_EQ(f.low, s.low);
          ASSERT_EQ(f.high, s.high);
          ASSERT_EQ(f.first, s.first);
          ASSERT_EQ(f.last, s.last);
          ASSERT_EQ(f.joined, s.joined) << "meter " << m + 1 << " column " << c;
        }
      }
    }
  }
}

TEST(ReduceToColumns, NoColumnsOrNoDataGiveEmptyColumns) {
  EXPECT_EQ(reduceToColumns(TrendData{}, {0, 10}, 5, 1).meters[0].size(), 5U);
  EXPECT_EQ(reduceToColumns(meterOne({{1, 1}}), {0, 10}, 0, 1).points, 0);
  EXPECT_EQ(reduceToColumns(meterOne({{1, 1}}), {0, 10}, -3, 1).meters[0].size(), 0U);
}

TEST(BreakGap, TenTimesTheUsualSpacing) {
  EXPECT_EQ(breakGapOf(meterOne({{0, 1}, {55, 1}, {110, 1}, {5000, 1}, {5055, 1}})), 550);
  EXPECT_EQ(breakGapOf(meterOne({{0, 1}})), 0);
}

TEST(ValueScale, ValuesAndSwitchedOnLimitsWithRoomAround) {
  std::vector<ColumnSpan> spans(3);
  spans[0] = {100, 150, 100, 150, 2, false};
  spans[2] = {120, 240, 120, 240, 2, false};
  const ValueScale plain = valueScale(spans, nullptr);
  EXPECT_DOUBLE_EQ(plain.low, 100 - 7);
  EXPECT_DOUBLE_EQ(plain.high, 240 + 7);
  MeterLimits limits{true, true, 50, 200};
  const ValueScale withLimits = valueScale(spans, &limits);
  EXPECT_DOUBLE_EQ(withLimits.low, 50 - 9.5);
  MeterLimits off{false, false, 50, 300};
  EXPECT_DOUBLE_EQ(valueScale(spans, &off).low, 93);
  EXPECT_DOUBLE_EQ(valueScale({}, nullptr).high, 1);
  const ValueScale flat = valueScale({{5, 5, 5, 5, 1, false}}, nullptr);
  EXPECT_DOUBLE_EQ(flat.low, 4);
  EXPECT_DOUBLE_EQ(flat.high, 6);
  const Box plot{10, 20, 100, 101};
  EXPECT_EQ(rowOf(plain.high, plain, plot), 20);
  EXPECT_EQ(rowOf(plain.low, plain, plot), 120);
}

TEST(TimeTicks, RoundTimesInsideTheRange) {
  const std::int64_t day = 20000 * 86400LL;
  const std::vector<TimeTick> hours = timeTicks({day + 1800, day + 5 * std::int64_t{3600}}, 6);
  ASSERT_EQ(hours.size(), 5U);
  EXPECT_EQ(hours[0].time, day + 3600);
  EXPECT_EQ(hours[0].label, "10-04 01:00");
  const std::vector<TimeTick> weeks = timeTicks({day, day + 60 * std::int64_t{86400}}, 10);
  ASSERT_FALSE(weeks.empty());
  EXPECT_EQ((weeks[0].time / 86400 + 3) % 7, 0);  // a Monday
  EXPECT_EQ(weeks[0].label.size(), 10U);
}

}  // namespace
}  // namespace meterstation::trends
