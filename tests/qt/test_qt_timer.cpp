#include <gtest/gtest.h>

#include <chrono>

#include "platform/qt/qt_link_scheduler.h"
#include "platform/qt/qt_timer.h"
#include "support/event_loop_wait.h"
#include "support/silent_station_events.h"

namespace meterstation {
namespace {

using testsupport::waitWithEvents;

class TickLog : public testsupport::SilentStationEvents {
 public:
  explicit TickLog(Timer& timer) : timer_(timer) {}
  void Timer1_Timer() override {
    ++ticks;
    if (disableOnTick) timer_.setEnabled(false);
  }
  void Timer2_Timer() override { ++otherTicks; }

  int ticks = 0;
  int otherTicks = 0;
  bool disableOnTick = true;

 private:
  Timer& timer_;
};

class QtTimerTest : public ::testing::Test {
 protected:
  void SetUp() override { timer.bind(log); }
  // A tick that should come gets a generous wait; one that must not come
  // gets several of its intervals to show up.
  bool ticksReach(int count, int timeoutMs = 5000) {
    return waitWithEvents([&] { return log.ticks >= count; }, timeoutMs);
  }
  QtTimer timer;
  TickLog log{timer};
};

TEST_F(QtTimerTest, HandlerThatDisablesMakesItOneShot) {
  timer.setInterval(50);
  EXPECT_EQ(log.ticks, 0);
  timer.setEnabled(true);
  ASSERT_TRUE(ticksReach(1));
  EXPECT_FALSE(timer.enabled());
  EXPECT_FALSE(ticksReach(2, 500));
}

TEST_F(QtTimerTest, HandlerThatLeavesItEnabledGetsTheNextTick) {
  log.disableOnTick = false;
  timer.setInterval(30);
  timer.setEnabled(true);
  EXPECT_TRUE(ticksReach(3));
  EXPECT_TRUE(timer.enabled());
}

TEST_F(QtTimerTest, AssigningTheIntervalPostponesTheTick) {
  timer.setInterval(400);
  timer.setEnabled(true);
  // Every notification assigns the interval again; while they keep coming
  // faster than the interval no tick may arrive.
  EXPECT_FALSE(
      waitWithEvents([&] { return log.ticks > 0; }, 1500, [&] { timer.setInterval(400); }));
  EXPECT_TRUE(ticksReach(1));
}

// The end of a quiet period is called at its moment on the monotonic
// clock: a call that came early would take a reading before its last bytes.
TEST(QtLinkSchedulerAt, TheCallNeverComesBeforeItsMomentNorAfterBeingStopped) {
  QtLinkScheduler scheduler;
  Instant calledAt{};
  bool called = false;
  for (const int ms : {0, 1, 3, 7, 40, 150, 600}) {
    called = false;
    const Instant moment = scheduler.now() + std::chrono::milliseconds(ms);
    scheduler.startAt(moment, [&] {
      called = true;
      calledAt = scheduler.now();
    });
    ASSERT_TRUE(waitWithEvents([&] { return called; }, 5000)) << ms;
    EXPECT_GE(calledAt, moment) << ms << " ms";
  }
  called = false;
  scheduler.startAt(scheduler.now() + std::chrono::milliseconds(50), [&] { called = true; });
  scheduler.stopAt();
  EXPECT_FALSE(waitWithEvents([&] { return called; }, 300));
}

TEST_F(QtTimerTest, EnablingARunningTimerKeepsItsCountdown) {
  timer.setInterval(300);
  timer.setEnabled(true);
  EXPECT_TRUE(waitWithEvents([&] { return log.ticks > 0; }, 5000, [&] { timer.setEnabled(true); }));
}

TEST_F(QtTimerTest, ZeroNegativeOrDisabledNeverTicks) {
  timer.setInterval(0);
  timer.setEnabled(true);
  EXPECT_FALSE(ticksReach(1, 1000));

  timer.setInterval(-20);
  EXPECT_EQ(timer.interval(), 0);
  EXPECT_FALSE(ticksReach(1, 500));

  timer.setEnabled(false);
  timer.setInterval(20);
  EXPECT_FALSE(ticksReach(1, 500));
  timer.setEnabled(true);
  EXPECT_TRUE(ticksReach(1));
}

TEST_F(QtTimerTest, EachTimerTicksItsOwnHandler) {
  QtTimer retry;
  retry.bind(log, &StationEvents::Timer2_Timer);
  retry.setInterval(20);
  retry.setEnabled(true);
  ASSERT_TRUE(waitWithEvents([&] { return log.otherTicks >= 2; }, 5000));
  EXPECT_EQ(log.ticks, 0) << "the quiet-period handler is not the retry timer's";
  retry.setEnabled(false);

  QtTimer directory;
  int directoryTicks = 0;
  directory.bindTick([&] {
    ++directoryTicks;
    directory.setEnabled(false);
  });
  directory.setInterval(20);
  directory.setEnabled(true);
  ASSERT_TRUE(waitWithEvents([&] { return directoryTicks > 0; }, 5000));
  EXPECT_FALSE(waitWithEvents([&] { return directoryTicks > 1; }, 300));
  EXPECT_EQ(log.ticks, 0);
}

}  // namespace
}  // namespace meterstation
