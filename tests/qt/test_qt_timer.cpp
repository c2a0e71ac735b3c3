#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

#include <gtest/gtest.h>

#include "platform/qt/qt_timer.h"

namespace meterstation {
namespace {

// Runs the event loop until done() or the time is up, calling between()
// along the way; true when done() came true.
bool runUntil(
    const std::function<bool()>& done, int timeoutMs,
    const std::function<void()>& between = [] {}) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.hasExpired(timeoutMs)) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    between();
    QThread::msleep(10);
  }
  return true;
}

class TickLog : public StationEvents {
 public:
  explicit TickLog(Timer& timer) : timer_(timer) {}
  void Timer1_Timer() override {
    ++ticks;
    if (disableOnTick) timer_.setEnabled(false);
  }
  void Form_Load() override {}
  void Form_Unload() override {}
  void Drive1_Change() override {}
  void Dir1_Change() override {}
  void Command1_Click() override {}
  void Command2_Click() override {}
  void Command3_Click() override {}
  void Command4_Click() override {}
  void Command5_Click() override {}
  void Command6_Click() override {}
  void MSComm1_OnComm() override {}
  void Controls_Change() override {}
  void Timer2_Timer() override { ++otherTicks; }
  void Session_End() override {}

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
    return runUntil([&] { return log.ticks >= count; }, timeoutMs);
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
  EXPECT_FALSE(runUntil([&] { return log.ticks > 0; }, 1500, [&] { timer.setInterval(400); }));
  EXPECT_TRUE(ticksReach(1));
}

TEST_F(QtTimerTest, EnablingARunningTimerKeepsItsCountdown) {
  timer.setInterval(300);
  timer.setEnabled(true);
  EXPECT_TRUE(runUntil([&] { return log.ticks > 0; }, 5000, [&] { timer.setEnabled(true); }));
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
  ASSERT_TRUE(runUntil([&] { return log.otherTicks >= 2; }, 5000));
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
  ASSERT_TRUE(runUntil([&] { return directoryTicks > 0; }, 5000));
  EXPECT_FALSE(runUntil([&] { return directoryTicks > 1; }, 300));
  EXPECT_EQ(log.ticks, 0);
}

}  // namespace
}  // namespace meterstation
