#include <windows.h>

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_durable_files.h"
#include "platform/win32/win32_host.h"
#include "temp_dir.h"

namespace meterstation {
namespace {

TEST(Win32LocksTest, ASecondHolderIsRefusedAndToldWhoHoldsIt) {
  const testsupport::TempDir dir("meterstation-locks");
  ASSERT_FALSE(dir.path().empty());
  const std::string lock = dir / ".meterstation.lock";
  Win32Host first;
  Win32Host second;
  ASSERT_TRUE(first.lock(lock).ok);
  const LockOutcome refused = second.lock(lock);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.holder, static_cast<int>(GetCurrentProcessId()));
  EXPECT_EQ(refused.error, "held by another process");

  // The holder deletes the file while it still holds it, as a station
  // does with a queue's lock; the next taker gets a fresh one.
  ASSERT_TRUE(Win32DurableFiles().remove(lock).ok);
  first.unlock(lock);
  EXPECT_TRUE(second.lock(lock).ok);
  EXPECT_FALSE(first.lock(lock).ok);
}

TEST(Win32HostTest, KnowsItsDataDirectoryAndWhichProcessesRun) {
  Win32Host host;
  const std::string data = host.dataDirectory();
  EXPECT_TRUE(data.ends_with("\\meterstation")) << data;
  EXPECT_TRUE(Win32DurableFiles().isDirectory(data));

  EXPECT_TRUE(host.processRunning(host.processId()));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  wchar_t command[] = L"cmd.exe /c exit 3";
  ASSERT_TRUE(CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                             nullptr, &startup, &child));
  WaitForSingleObject(child.hProcess, INFINITE);
  // Its handle still open, the ended process's id names no other.
  EXPECT_FALSE(host.processRunning(static_cast<int>(child.dwProcessId)));
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
}

TEST(Win32ClockTest, WritesMonthDayYearAndTheTwentyFourHourClock) {
  SYSTEMTIME evening{};
  evening.wYear = 2026;
  evening.wMonth = 12;
  evening.wDay = 8;
  evening.wHour = 18;
  evening.wMinute = 9;
  evening.wSecond = 5;
  const LocalMoment moment = momentOf(evening);
  EXPECT_EQ(moment.date, "12-08-2026");
  EXPECT_EQ(moment.time, "18:09:05");
}

int secondOfDay(const std::string& time) {
  return std::stoi(time.substr(0, 2)) * 3600 + std::stoi(time.substr(3, 2)) * 60 +
         std::stoi(time.substr(6, 2));
}

// 90 s ago is 90 s before the wall clock's now, to the second: a little
// more than 90 s back, so in the second 90 or 91 before the one that stood
// still while the test looked.
TEST(Win32ClockTest, AMomentJustPastIsTheWallClockLessTheTimeSince) {
  Win32Clock clock;
  for (int attempt = 0; attempt < 5; ++attempt) {
    const LocalMoment before = clock.now();
    const LocalMoment then =
        clock.momentAt(std::chrono::steady_clock::now() - std::chrono::seconds(90));
    const LocalMoment after = clock.now();
    if (after.time != before.time) continue;
    const int back = (secondOfDay(before.time) - secondOfDay(then.time) + 86400) % 86400;
    EXPECT_TRUE(back == 90 || back == 91) << before.time << " then " << then.time;
    if (secondOfDay(before.time) > 91) {
      EXPECT_EQ(then.date, before.date);
    }
    return;
  }
  FAIL() << "the clock never stood still for a second";
}

}  // namespace
}  // namespace meterstation
