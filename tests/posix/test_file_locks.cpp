#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "platform/posix/file_locks.h"
#include "support/scratch_dir_test.h"

namespace meterstation {
namespace {

namespace fs = std::filesystem;

std::string contents(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// What a lock attempt in another process came to, sent back through a pipe.
struct ChildAttempt {
  bool ok = false;
  int holder = -1;
};

class FileLocksTest : public testsupport::ScratchDirTest {
 protected:
  FileLocksTest() : ScratchDirTest("meterstation-locks") {}
  void SetUp() override {
    ScratchDirTest::SetUp();
    lockFile_ = dir_ + "/.station.lock";
  }
  void TearDown() override {
    if (holder_ > 0) {
      ::kill(holder_, SIGKILL);
      ::waitpid(holder_, nullptr, 0);
    }
  }

  // Another process tries the lock once and reports what it got.
  ChildAttempt tryInChild() const {
    int channel[2];
    if (::pipe(channel) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(channel[0]);
      FileLocks locks;
      const LockOutcome outcome = locks.lock(lockFile_);
      const int report[2] = {outcome.ok ? 1 : 0, outcome.holder};
      const bool sent = ::write(channel[1], report, sizeof report) == sizeof report;
      ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    int report[2] = {0, -1};
    const bool got = ::read(channel[0], report, sizeof report) == sizeof report;
    ::close(channel[0]);
    ::waitpid(child, nullptr, 0);
    if (!got) return {};
    return ChildAttempt{report[0] == 1, report[1]};
  }

  // Another process takes the lock and keeps it until killed.
  bool startHolder() {
    int channel[2];
    if (::pipe(channel) != 0) return false;
    holder_ = ::fork();
    if (holder_ == 0) {
      ::close(channel[0]);
      FileLocks locks;
      const char taken = locks.lock(lockFile_).ok ? 'y' : 'n';
      if (::write(channel[1], &taken, 1) != 1) ::_exit(1);
      for (;;) ::pause();
    }
    ::close(channel[1]);
    char taken = 'n';
    const bool got = ::read(channel[0], &taken, 1) == 1;
    ::close(channel[0]);
    return got && taken == 'y';
  }

  std::string lockFile_;
  pid_t holder_ = -1;
};

TEST_F(FileLocksTest, TheHolderWritesItsIdAndAnotherProcessIsRefusedWithIt) {
  FileLocks locks;
  const LockOutcome taken = locks.lock(lockFile_);
  ASSERT_TRUE(taken.ok) << taken.error;
  EXPECT_EQ(contents(lockFile_), std::to_string(::getpid()) + "\n");
  EXPECT_TRUE(locks.lock(lockFile_).ok) << "a lock already held is held once more";

  const ChildAttempt refused = tryInChild();
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.holder, ::getpid());

  locks.unlock(lockFile_);
  EXPECT_FALSE(locks.holds(lockFile_));
  EXPECT_TRUE(fs::exists(lockFile_));
  EXPECT_TRUE(tryInChild().ok) << "unlock lets the next station in";
}

TEST_F(FileLocksTest, AKilledHolderLetsTheLockGo) {
  // An old id left in the file by a station that ended is overwritten.
  std::ofstream(lockFile_) << "999999\n";
  ASSERT_TRUE(startHolder());
  FileLocks locks;
  const LockOutcome refused = locks.lock(lockFile_);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.holder, holder_);
  EXPECT_EQ(refused.error, "held by another process");
  EXPECT_TRUE(processRunning(holder_));

  ASSERT_EQ(::kill(holder_, SIGKILL), 0);
  ASSERT_EQ(::waitpid(holder_, nullptr, 0), holder_);
  EXPECT_FALSE(processRunning(holder_));
  const int killed = holder_;
  holder_ = -1;

  const LockOutcome taken = locks.lock(lockFile_);
  ASSERT_TRUE(taken.ok) << taken.error;
  EXPECT_EQ(contents(lockFile_), std::to_string(::getpid()) + "\n");
  EXPECT_NE(contents(lockFile_), std::to_string(killed) + "\n");
}

TEST_F(FileLocksTest, ALockFileThatCannotBeMadeSaysWhy) {
  FileLocks locks;
  LockOutcome outcome = locks.lock(dir_ + "/gone/.station.lock");
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.holder, 0);
  EXPECT_EQ(outcome.error, std::strerror(ENOENT));

  // A planted link is not followed, so the file it names keeps its bytes.
  const std::string victim = dir_ + "/victim";
  std::ofstream(victim) << "keep";
  ASSERT_EQ(::symlink(victim.c_str(), lockFile_.c_str()), 0);
  outcome = locks.lock(lockFile_);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(contents(victim), "keep");

  locks.unlock(dir_ + "/never-locked");  // nothing held: nothing happens
  EXPECT_FALSE(locks.holds(dir_ + "/never-locked"));
}

// B opened the file before A deleted it and let go; C makes a new one after
// B's grant. Two holders of "the" lock would adopt the same waiting lines.
TEST_F(FileLocksTest, ALockFileDeletedUnderATakerIsHeldByOneStationAtMost) {
  FileLocks a;
  FileLocks c;
  ASSERT_TRUE(a.lock(lockFile_).ok);
  LockCalls calls = LockCalls::real();
  int opened = 0;
  int closed = 0;
  calls.open = [&, real = calls.open](const char* path, int flags, mode_t mode) {
    ++opened;
    return real(path, flags, mode);
  };
  calls.close = [&, real = calls.close](int fd) {
    ++closed;
    return real(fd);
  };
  bool first = true;
  calls.flock = [&, real = calls.flock](int fd, int operation) {
    if (!first) return real(fd, operation);
    first = false;
    EXPECT_EQ(::unlink(lockFile_.c_str()), 0);
    a.unlock(lockFile_);
    const int granted = real(fd, operation);
    EXPECT_TRUE(c.lock(lockFile_).ok);
    return granted;
  };
  FileLocks b(calls);
  const LockOutcome taken = b.lock(lockFile_);
  ASSERT_FALSE(first);
  EXPECT_EQ(a.holds(lockFile_) + b.holds(lockFile_) + c.holds(lockFile_), 1);
  EXPECT_FALSE(taken.ok);
  EXPECT_EQ(taken.holder, ::getpid());  // C's id, read from the new file
  EXPECT_EQ(opened, closed) << "B leaves no descriptor open";

  // A name made anew after every grant is given up on, not chased for ever.
  c.unlock(lockFile_);
  calls.flock = [&, real = LockCalls::real().flock](int fd, int operation) {
    const int granted = real(fd, operation);
    ::unlink(lockFile_.c_str());
    std::ofstream(lockFile_) << "";
    return granted;
  };
  FileLocks d(calls);
  EXPECT_FALSE(d.lock(lockFile_).ok);
  EXPECT_FALSE(d.holds(lockFile_));
  EXPECT_EQ(opened, closed);
}

TEST(ProcessRunningTest, TellsLivingProcessesFromGoneOnes) {
  EXPECT_EQ(currentProcessId(), ::getpid());
  EXPECT_TRUE(processRunning(currentProcessId()));
  EXPECT_TRUE(processRunning(1));  // init: someone else's process still runs
  EXPECT_FALSE(processRunning(0));
  EXPECT_FALSE(processRunning(-1));

  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  EXPECT_FALSE(processRunning(child));
}

}  // namespace
}  // namespace meterstation
