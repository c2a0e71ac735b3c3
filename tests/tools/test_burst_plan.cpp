#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "processor-sim/burst_plan.h"
#include "reading_shape.h"

namespace meterstation::sim {
namespace {

std::vector<Burst> drain(BurstPlan& plan, std::size_t limit = 10000) {
  std::vector<Burst> bursts;
  while (bursts.size() < limit) {
    std::optional<Burst> burst = plan.next();
    if (!burst) break;
    bursts.push_back(std::move(*burst));
  }
  return bursts;
}

PlanSettings withSets(int sets) {
  PlanSettings settings;
  settings.sets = sets;
  return settings;
}

bool isSlot(const Burst& burst) {
  return burst.kind == BurstKind::Reading || burst.kind == BurstKind::Nul ||
         burst.kind == BurstKind::Short || burst.kind == BurstKind::Duplicate;
}

TEST(BurstPlan, SyncFirstThenMetersInOrderUntilTheSetsAreDone) {
  BurstPlan plan(withSets(2));
  const std::vector<Burst> bursts = drain(plan);
  ASSERT_EQ(bursts.size(), 1u + 32u);
  EXPECT_EQ(bursts[0].kind, BurstKind::Sync);
  EXPECT_TRUE(isValidReading(bursts[0].text));
  for (std::size_t i = 1; i < bursts.size(); ++i) {
    EXPECT_EQ(bursts[i].kind, BurstKind::Reading);
    EXPECT_TRUE(isValidReading(bursts[i].text));
    EXPECT_EQ(meterOf(bursts[i].text), static_cast<int>((i - 1) % 16) + 1);
  }
  EXPECT_FALSE(plan.next().has_value());
}

TEST(BurstPlan, WithoutASetCountTheStreamDoesNotEnd) {
  BurstPlan plan(withSets(0));
  EXPECT_EQ(drain(plan, 1000).size(), 1000u);
}

TEST(BurstPlan, ShuffleSendsEveryMeterOncePerSet) {
  PlanSettings settings = withSets(6);
  settings.shuffle = true;
  BurstPlan plan(settings);
  const std::vector<Burst> bursts = drain(plan);
  ASSERT_EQ(bursts.size(), 1u + 6u * 16u);
  std::set<std::vector<int>> orders;
  for (int set = 0; set < 6; ++set) {
    std::vector<int> meters;
    for (int slot = 0; slot < 16; ++slot)
      meters.push_back(meterOf(bursts[1 + static_cast<std::size_t>(set * 16 + slot)].text));
    orders.insert(meters);
    std::sort(meters.begin(), meters.end());
    for (int meter = 1; meter <= 16; ++meter)
      EXPECT_EQ(meters[static_cast<std::size_t>(meter - 1)], meter);
  }
  EXPECT_GT(orders.size(), 1u);
}

TEST(BurstPlan, SameSeedGivesTheSameStreamFaultsIncluded) {
  PlanSettings settings = withSets(3);
  settings.shuffle = true;
  settings.faults = {5, 7, 11, 13, 17};
  BurstPlan first(settings), second(settings);
  settings.seed = 2;
  BurstPlan other(settings);
  std::string a, b, c;
  for (const Burst& burst : drain(first)) a += kindName(burst.kind) + burst.text;
  for (const Burst& burst : drain(second)) b += kindName(burst.kind) + burst.text;
  for (const Burst& burst : drain(other)) c += kindName(burst.kind) + burst.text;
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
}

TEST(BurstPlan, GarbageAndHangupFollowEveryNthReadingWithoutTakingASlot) {
  PlanSettings settings = withSets(2);
  settings.faults.garbageEvery = 5;
  settings.faults.hangupEvery = 10;
  BurstPlan plan(settings);
  const std::vector<Burst> bursts = drain(plan);
  int slots = 0;
  for (std::size_t i = 1; i < bursts.size(); ++i) {
    const Burst& burst = bursts[i];
    if (isSlot(burst)) {
      ++slots;
      continue;
    }
    if (burst.kind == BurstKind::Garbage) {
      EXPECT_EQ(slots % 5, 0) << "garbage after reading " << slots;
      EXPECT_FALSE(isValidReading(burst.text));
    } else {
      ASSERT_EQ(burst.kind, BurstKind::Hangup);
      EXPECT_EQ(slots % 10, 0);
      // Garbage due on the same reading goes out before the line drops.
      EXPECT_EQ(bursts[i - 1].kind, BurstKind::Garbage);
    }
  }
  EXPECT_EQ(slots, 32);
  EXPECT_EQ(std::count_if(bursts.begin(), bursts.end(),
                          [](const Burst& b) { return b.kind == BurstKind::Garbage; }),
            6);
  EXPECT_EQ(std::count_if(bursts.begin(), bursts.end(),
                          [](const Burst& b) { return b.kind == BurstKind::Hangup; }),
            3);
}

TEST(BurstPlan, FaultyReadingsTakeTheirSlotsWithShortBeforeNulBeforeDuplicate) {
  PlanSettings settings = withSets(1);
  settings.faults.shortEvery = 6;
  settings.faults.nulEvery = 4;
  settings.faults.duplicateEvery = 3;
  BurstPlan plan(settings);
  const std::vector<Burst> bursts = drain(plan);
  ASSERT_EQ(bursts.size(), 17u);
  for (int n = 1; n <= 16; ++n) {
    const Burst& burst = bursts[static_cast<std::size_t>(n)];
    const BurstKind expected = n % 6 == 0   ? BurstKind::Short
                               : n % 4 == 0 ? BurstKind::Nul
                               : n % 3 == 0 ? BurstKind::Duplicate
                                            : BurstKind::Reading;
    EXPECT_EQ(burst.kind, expected) << "reading " << n;
    if (expected == BurstKind::Short) {
      EXPECT_LT(std::count(burst.text.begin(), burst.text.end(), ','), 7);
    }
    if (expected == BurstKind::Nul) {
      EXPECT_NE(burst.text.find('\0'), std::string::npos);
    }
  }
}

TEST(BurstPlan, DuplicateReportsAMeterTwiceInItsSetAndDropsAnother) {
  PlanSettings settings = withSets(3);
  settings.shuffle = true;
  settings.faults.duplicateEvery = 16;  // the last slot of every set
  BurstPlan plan(settings);
  const std::vector<Burst> bursts = drain(plan);
  ASSERT_EQ(bursts.size(), 1u + 48u);
  for (int set = 0; set < 3; ++set) {
    std::vector<int> meters;
    for (int slot = 0; slot < 16; ++slot) {
      const Burst& burst = bursts[1 + static_cast<std::size_t>(set * 16 + slot)];
      ASSERT_TRUE(isValidReading(burst.text));
      EXPECT_EQ(burst.meter, meterOf(burst.text));
      meters.push_back(burst.meter);
    }
    EXPECT_EQ(bursts[static_cast<std::size_t>(16 + set * 16)].kind, BurstKind::Duplicate);
    EXPECT_EQ(meters[15], meters[14]);
    std::sort(meters.begin(), meters.end());
    EXPECT_EQ(std::unique(meters.begin(), meters.end()) - meters.begin(), 15);
  }
}

}  // namespace
}  // namespace meterstation::sim
