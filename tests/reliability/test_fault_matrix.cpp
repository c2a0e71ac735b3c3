#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

#include "reliability/real_files_station.h"

namespace meterstation::reliability {
namespace {

enum class Failure { Enospc, Eio, ShortWrite };

// Counts the adapter's system calls and fails the k-th of them (for short
// writes, the k-th write), once or from then on, until cleared.
struct FaultPlan {
  int failAt = 0;  // 0: nothing fails
  bool persistent = false;
  Failure failure = Failure::Enospc;
  int operations = 0;
  int writes = 0;
  bool cleared = false;

  bool hits(int count) const {
    if (cleared || failAt == 0) return false;
    return persistent ? count >= failAt : count == failAt;
  }
  // For the calls that are not writes: true when this one fails.
  bool failsOperation() {
    ++operations;
    if (failure == Failure::ShortWrite || !hits(operations)) return false;
    errno = failure == Failure::Enospc ? ENOSPC : EIO;
    return true;
  }
};

FileSystemCalls countedCalls(const std::shared_ptr<FaultPlan>& plan) {
  const FileSystemCalls real = FileSystemCalls::real();
  FileSystemCalls calls = real;
  calls.open = [plan, real](const char* path, int flags, mode_t mode) {
    return plan->failsOperation() ? -1 : real.open(path, flags, mode);
  };
  calls.fdatasync = [plan, real](int fd) {
    return plan->failsOperation() ? -1 : real.fdatasync(fd);
  };
  calls.fsync = [plan, real](int fd) { return plan->failsOperation() ? -1 : real.fsync(fd); };
  calls.rename = [plan, real](const char* from, const char* to) {
    return plan->failsOperation() ? -1 : real.rename(from, to);
  };
  calls.write = [plan, real](int fd, const void* data, std::size_t size) -> ssize_t {
    ++plan->writes;
    if (plan->failure == Failure::ShortWrite) {
      if (plan->hits(plan->writes) && size > 1) return real.write(fd, data, size / 2);
      ++plan->operations;
      return real.write(fd, data, size);
    }
    if (plan->failsOperation()) return -1;
    return real.write(fd, data, size);
  };
  calls.pwrite = [plan, real](int fd, const void* data, std::size_t size, off_t offset) -> ssize_t {
    if (plan->failsOperation()) return -1;
    return real.pwrite(fd, data, size, offset);
  };
  return calls;
}

struct CleanRun {
  int operations = 0;
  int writes = 0;
  std::string ct[2];
  std::string times;
  std::string usage[2];
};

CleanRun cleanRun() {
  ScratchDir scratch;
  auto plan = std::make_shared<FaultPlan>();
  RealFilesStation s(scratch.path(), countedCalls(plan));
  plan->operations = plan->writes = 0;
  CleanRun run;
  s.set(1);
  run.ct[0] = s.file("ct.tsr");
  run.usage[0] = s.file("usage.tsr");
  s.set(2);
  run.operations = plan->operations;
  run.writes = plan->writes;
  run.ct[1] = s.file("ct.tsr");
  run.times = s.file("quell2.tsr");
  run.usage[1] = s.file("usage.tsr").substr(run.usage[0].size());
  return run;
}

std::string describe(Failure failure, bool persistent, int k) {
  const char* names[] = {"ENOSPC", "EIO", "short write"};
  return std::string(names[static_cast<int>(failure)]) + (persistent ? " from " : " at ") +
         "operation " + std::to_string(k);
}

// Two sets with one failure each time, for every place it can fall.
TEST(FaultMatrix, EveryFailedOperationLeavesWholeFilesAndLosesNoLine) {
  const CleanRun clean = cleanRun();
  ASSERT_GT(clean.operations, 20);
  ASSERT_EQ(clean.ct[0].size(), 322U);
  ASSERT_EQ(clean.times.size(), 338U);
  int runs = 0;
  for (Failure failure : {Failure::Enospc, Failure::Eio, Failure::ShortWrite}) {
    const int last = failure == Failure::ShortWrite ? clean.writes : clean.operations;
    for (bool persistent : {false, true}) {
      for (int k = 1; k <= last; ++k) {
        SCOPED_TRACE(describe(failure, persistent, k));
        ScratchDir scratch;
        auto plan = std::make_shared<FaultPlan>();
        RealFilesStation s(scratch.path(), countedCalls(plan));
        plan->operations = plan->writes = 0;
        plan->failAt = k;
        plan->persistent = persistent;
        plan->failure = failure;
        s.set(1);
        s.set(2);
        ++runs;
        EXPECT_FALSE(s.form.ended());

        // Written lines are there once, in order; the rest wait, in order.
        std::vector<int> all = s.databaseTags();
        for (int tag : s.waitingTags("qn.db1")) all.push_back(tag);
        EXPECT_EQ(all, (std::vector<int>{1, 2}));
        std::string usage = s.file("usage.tsr");
        const auto& waiting = s.form.pendingAppends().lines();
        if (const auto it = waiting.find(s.path("usage.tsr")); it != waiting.end()) {
          for (const std::string& line : it->second) usage += line;
        }
        EXPECT_EQ(usage, clean.usage[0] + clean.usage[1]);

        for (const std::string& name : entriesOf(s.dir)) EXPECT_NE(name.front(), '.') << name;
        const std::string ct = s.file("ct.tsr");
        EXPECT_TRUE(ct == clean.ct[0] || ct == clean.ct[1] || !s.files.exists(s.path("ct.tsr")))
            << ct.size() << " bytes";
        const std::string times = s.file("quell2.tsr");
        EXPECT_TRUE(times == clean.times || !s.files.exists(s.path("quell2.tsr"))) << times.size();
        if (s.form.pendingAppends().totalWaiting() > 0) {
          EXPECT_FALSE(s.window.list2.empty()) << "lines wait but nothing was reported";
        }

        // Once the fault is gone the next set brings everything home.
        plan->cleared = true;
        s.set(3);
        EXPECT_EQ(s.databaseTags(), (std::vector<int>{1, 2, 3}));
        EXPECT_EQ(s.form.pendingAppends().totalWaiting(), 0U);
        EXPECT_EQ(s.file("ct.tsr").substr(3, 3), "003");
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
  std::printf("fault matrix: %d runs of two sets (%d operations, %d writes each)\n", runs,
              clean.operations, clean.writes);
}

}  // namespace
}  // namespace meterstation::reliability
