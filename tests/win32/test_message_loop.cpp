#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/message_window.h"
#include "platform/win32/win32_link_scheduler.h"
#include "platform/win32/win32_timer.h"
#include "support/wait_until.h"

namespace meterstation {
namespace {

using namespace std::chrono_literals;
using testsupport::waitUntil;

// The event thread's message loop, turned by the test until it has what it
// waits for.
bool pumpUntil(const std::function<bool()>& condition) {
  return waitUntil(condition, 5s, [] {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  });
}

void pumpFor(std::chrono::milliseconds span) {
  const auto end = std::chrono::steady_clock::now() + span;
  pumpUntil([end] { return std::chrono::steady_clock::now() >= end; });
}

TEST(MessageWindow, CallsPostedFromOtherThreadsRunInOrderOnThisOne) {
  MessageWindow window;
  const DWORD eventThread = GetCurrentThreadId();
  std::vector<int> order;
  std::atomic<bool> offThread{false};
  std::thread poster([&] {
    for (int i = 0; i < 1000; ++i) {
      window.post([&, i] {
        if (GetCurrentThreadId() != eventThread) offThread = true;
        order.push_back(i);
      });
    }
  });
  poster.join();
  ASSERT_TRUE(pumpUntil([&] { return order.size() == 1000; }));
  EXPECT_FALSE(offThread);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(MessageWindow, NothingWaitingRunsOnceTheWindowIsGone) {
  int ran = 0;
  {
    MessageWindow window;
    window.post([&ran] { ++ran; });
    window.startTimer(1, 0, [&ran] { ++ran; });
  }
  pumpFor(100ms);
  EXPECT_EQ(ran, 0);
}

TEST(MessageWindow, AOneShotTimerMayStartItselfAgainFromItsCall) {
  MessageWindow window;
  int fired = 0;
  std::function<void()> again = [&] {
    if (++fired < 3) window.startTimer(7, 10, again);
  };
  window.startTimer(7, 10, again);
  ASSERT_TRUE(pumpUntil([&] { return fired == 3; }));
  EXPECT_FALSE(window.timerActive(7));
  pumpFor(60ms);
  EXPECT_EQ(fired, 3);
}

TEST(Win32LinkScheduler, TheCallAtAMomentIsNeverEarlyAndAStopCancelsIt) {
  Win32LinkScheduler scheduler;
  std::vector<Instant> calls;
  const Instant at = scheduler.now() + 120ms;
  scheduler.startAt(at, [&] { calls.push_back(scheduler.now()); });
  ASSERT_TRUE(pumpUntil([&] { return !calls.empty(); }));
  EXPECT_GE(calls.front(), at);

  scheduler.startAt(scheduler.now() + 30ms, [&] { calls.push_back(scheduler.now()); });
  scheduler.stopAt();
  int ticks = 0;
  scheduler.startRepeating(10, [&] { ++ticks; });
  ASSERT_TRUE(pumpUntil([&] { return ticks >= 3; }));
  scheduler.stopRepeating();
  EXPECT_EQ(calls.size(), 1U);
}

TEST(Win32Timer, TicksRepeatWhileEnabledAndDueAtIsTheCountdownsEnd) {
  Win32Timer timer;
  std::vector<Instant> ticks;
  std::vector<Instant> due;
  timer.bindTick([&] {
    ticks.push_back(std::chrono::steady_clock::now());
    due.push_back(timer.dueAt());
    if (ticks.size() == 2) timer.setEnabled(false);
  });
  const Instant started = std::chrono::steady_clock::now();
  timer.setInterval(40);
  timer.setEnabled(true);
  ASSERT_TRUE(pumpUntil([&] { return ticks.size() == 2; }));
  pumpFor(120ms);
  EXPECT_EQ(ticks.size(), 2U);
  EXPECT_GE(due[0], started + 40ms);
  EXPECT_GE(due[1], due[0] + 40ms);
  EXPECT_LE(due[1], ticks[1]);
}

}  // namespace
}  // namespace meterstation
