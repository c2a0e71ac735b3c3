#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <type_traits>

#include "reliability/real_files_station.h"

namespace meterstation::reliability {
namespace {

namespace fs = std::filesystem;

enum class Failure { Enospc, Eio, ShortWrite };

// Where a full disk shows: the data's writes, and the syncs and closes that
// allocate it late. ENOSPC takes the same way through the adapter as EIO,
// which every call gets.
const std::set<std::string> kSpaceCalls = {"write", "pwrite", "fdatasync", "fsync", "close"};

// The faults are injected, so the disk's own syncs decide nothing here; on
// tmpfs they cost nothing, which keeps a thousand runs short.
ScratchDir matrixScratch() {
  return ScratchDir("meterstation-fault-matrix",
                    fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp");
}

// Counts the adapter's system calls and fails the k-th of them (for short
// writes, the k-th write), once or from then on, until cleared.
struct FaultPlan {
  int failAt = 0;  // 0: nothing fails
  bool persistent = false;
  Failure failure = Failure::Enospc;
  int operations = 0;
  int writes = 0;
  bool cleared = false;
  std::vector<const char*> names;  // of every operation so far

  bool hits(int count) const {
    if (cleared || failAt == 0) return false;
    return persistent ? count >= failAt : count == failAt;
  }
  // For the calls that are not writes: true when this one fails.
  bool failsOperation(const char* name) {
    ++operations;
    names.push_back(name);
    if (failure == Failure::ShortWrite || !hits(operations)) return false;
    errno = failure == Failure::Enospc ? ENOSPC : EIO;
    return true;
  }
};

template <typename R, typename... Args>
std::function<R(Args...)> counted(const std::shared_ptr<FaultPlan>& plan, const char* name,
                                  std::function<R(Args...)> real, std::type_identity_t<R> failed) {
  return [plan, name, real, failed](Args... args) -> R {
    return plan->failsOperation(name) ? failed : real(args...);
  };
}

// Every entry but the undo's own (ftruncate, unlink: a failed undo leaves
// what no failure value takes back) and closedir, whose result goes unread.
FileSystemCalls countedCalls(const std::shared_ptr<FaultPlan>& plan) {
  const FileSystemCalls real = FileSystemCalls::real();
  FileSystemCalls calls = real;
  calls.open = counted(plan, "open", real.open, -1);
  calls.dup = counted(plan, "dup", real.dup, -1);
  calls.pwrite = counted(plan, "pwrite", real.pwrite, -1);
  calls.read = counted(plan, "read", real.read, -1);
  calls.pread = counted(plan, "pread", real.pread, -1);
  calls.fdatasync = counted(plan, "fdatasync", real.fdatasync, -1);
  calls.fsync = counted(plan, "fsync", real.fsync, -1);
  calls.rename = counted(plan, "rename", real.rename, -1);
  calls.stat = counted(plan, "stat", real.stat, -1);
  calls.fstat = counted(plan, "fstat", real.fstat, -1);
  calls.fchmod = counted(plan, "fchmod", real.fchmod, -1);
  calls.opendir = counted(plan, "opendir", real.opendir, nullptr);
  calls.readdir = counted(plan, "readdir", real.readdir, nullptr);
  // A failed close still closes the descriptor, as the kernel's does.
  calls.close = [plan, real](int fd) {
    const bool fails = plan->failsOperation("close");
    const int error = errno;
    const int closed = real.close(fd);
    if (!fails) return closed;
    errno = error;
    return -1;
  };
  calls.write = [plan, real](int fd, const void* data, std::size_t size) -> ssize_t {
    ++plan->writes;
    if (plan->failure == Failure::ShortWrite) {
      if (plan->hits(plan->writes) && size > 1) return real.write(fd, data, size / 2);
      plan->names.push_back("write");
      ++plan->operations;
      return real.write(fd, data, size);
    }
    if (plan->failsOperation("write")) return -1;
    return real.write(fd, data, size);
  };
  return calls;
}

// The database of an earlier run, one set long: the first append of a run
// reads its end back before it adds to it.
std::string earlierDatabase() {
  const ScratchDir scratch = matrixScratch();
  RealFilesStation s(scratch.path());
  s.set(0);
  return s.file("qn.db1");
}

void seed(const std::string& root, const std::string& database) {
  ::mkdir((root + "/qN07").c_str(), 0777);
  std::ofstream(root + "/qN07/qn.db1", std::ios::binary) << database;
}

struct CleanRun {
  std::string database;
  std::vector<const char*> names;
  int operations = 0;
  int writes = 0;
  std::string ct[2];
  std::string times;
  std::string usage[2];
};

CleanRun cleanRun() {
  CleanRun run;
  run.database = earlierDatabase();
  const ScratchDir scratch = matrixScratch();
  seed(scratch.path(), run.database);
  auto plan = std::make_shared<FaultPlan>();
  RealFilesStation s(scratch.path(), countedCalls(plan));
  plan->operations = plan->writes = 0;
  plan->names.clear();
  s.set(1);
  run.ct[0] = s.file("ct.tsr");
  run.usage[0] = s.file("usage.tsr");
  s.set(2);
  run.operations = plan->operations;
  run.names = plan->names;
  run.writes = plan->writes;
  run.ct[1] = s.file("ct.tsr");
  run.times = s.file("quell2.tsr");
  run.usage[1] = s.file("usage.tsr").substr(run.usage[0].size());
  return run;
}

std::string describe(Failure failure, bool persistent, int k, const char* call) {
  const char* names[] = {"ENOSPC", "EIO", "short write"};
  return std::string(names[static_cast<int>(failure)]) + (persistent ? " from " : " at ") +
         "operation " + std::to_string(k) + " (" + call + ")";
}

// Two sets with one failure each time, for every place it can fall.
TEST(FaultMatrix, EveryFailedOperationLeavesWholeFilesAndLosesNoLine) {
  const CleanRun clean = cleanRun();
  ASSERT_GT(clean.operations, 20);
  std::map<std::string, int> reached;
  for (const char* name : clean.names) ++reached[name];
  // The entries the two sets reach. Not read: a set reads no file whole;
  // nor opendir and readdir: a set lists no directory.
  for (const char* name : {"open", "close", "dup", "write", "fdatasync", "fsync", "rename", "stat",
                           "fstat", "fchmod", "pread"}) {
    EXPECT_GT(reached[name], 0) << name << " is no longer failed";
  }
  ASSERT_EQ(clean.ct[0].size(), 322U);
  ASSERT_EQ(clean.times.size(), 338U);
  int runs = 0;
  for (Failure failure : {Failure::Enospc, Failure::Eio, Failure::ShortWrite}) {
    const int last = failure == Failure::ShortWrite ? clean.writes : clean.operations;
    for (bool persistent : {false, true}) {
      for (int k = 1; k <= last; ++k) {
        const char* call = failure == Failure::ShortWrite ? "write" : clean.names[k - 1];
        if (failure == Failure::Enospc && !kSpaceCalls.contains(call)) continue;
        SCOPED_TRACE(describe(failure, persistent, k, call));
        const ScratchDir scratch = matrixScratch();
        seed(scratch.path(), clean.database);
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
        EXPECT_EQ(all, (std::vector<int>{0, 1, 2}));
        std::string usage = s.file("usage.tsr");
        const auto& waiting = s.form.pendingAppends().lines();
        if (const auto it = waiting.find(s.path("usage.tsr")); it != waiting.end()) {
          for (const std::string& line : it->second) usage += line;
        }
        EXPECT_EQ(usage, clean.usage[0] + clean.usage[1]);

        for (const std::string& name : entriesOf(s.dir)) EXPECT_NE(name.front(), '.') << name;
        const std::string ct = s.file("ct.tsr");
        EXPECT_TRUE(ct == clean.ct[0] || ct == clean.ct[1] || !fs::exists(s.path("ct.tsr")))
            << ct.size() << " bytes";
        const std::string times = s.file("quell2.tsr");
        EXPECT_TRUE(times == clean.times || !fs::exists(s.path("quell2.tsr"))) << times.size();
        if (s.form.pendingAppends().totalWaiting() > 0) {
          EXPECT_FALSE(s.window.list2.empty()) << "lines wait but nothing was reported";
        }

        // Once the fault is gone the next set brings everything home.
        plan->cleared = true;
        s.set(3);
        EXPECT_EQ(s.databaseTags(), (std::vector<int>{0, 1, 2, 3}));
        EXPECT_EQ(s.form.pendingAppends().totalWaiting(), 0U);
        EXPECT_EQ(s.file("ct.tsr").substr(3, 3), "003");
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
  std::printf("fault matrix: %d runs of two sets (%d operations, %d writes each):", runs,
              clean.operations, clean.writes);
  for (const auto& [name, count] : reached) std::printf(" %s %d", name.c_str(), count);
  std::printf("\n");
}

}  // namespace
}  // namespace meterstation::reliability
