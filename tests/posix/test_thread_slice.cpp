#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "platform/posix/thread_slice.h"

namespace meterstation {
namespace {

// The calling thread's slice as the kernel shows it, where it does.
std::optional<long> shownSlice() {
  std::ifstream sched("/proc/thread-self/sched");
  std::string line;
  while (std::getline(sched, line)) {
    if (line.rfind("se.slice", 0) == 0) return std::stol(line.substr(line.find(':') + 1));
  }
  return std::nullopt;
}

// In a thread of its own, as only the calling thread is changed.
TEST(ThreadSlice, OnlyTheSliceOfTheCallingThreadChangesNotItsNiceness) {
  std::optional<long> before;
  std::optional<long> after;
  std::optional<long> other;
  Result asked;
  int niceAfter = 0;
  std::thread thread([&] {
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    ASSERT_EQ(setpriority(PRIO_PROCESS, tid, 3), 0);
    before = shownSlice();
    asked = requestShortSlice(std::chrono::microseconds(700));
    after = shownSlice();
    niceAfter = getpriority(PRIO_PROCESS, tid);
  });
  thread.join();
  other = shownSlice();
  if (!asked) GTEST_SKIP() << "this kernel takes no custom slice: " << asked.error;
  EXPECT_EQ(niceAfter, 3);
  if (!after || !before) GTEST_SKIP() << "this kernel does not show the slice";
  EXPECT_EQ(*after, 700000);
  EXPECT_NE(*after, *before);
  EXPECT_EQ(other, before) << "the test's own thread must keep its slice";
}

}  // namespace
}  // namespace meterstation
