#include "platform/posix/file_locks.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

namespace meterstation {

namespace {

// A name deleted and made again between each open and its check is given
// up on rather than chased for ever.
constexpr int kAttempts = 8;

// Not through a symbolic link: truncating and writing an id into whatever
// a planted link points at would damage a file of the user's.
int openLockFile(const LockCalls& calls, const std::string& path) {
  int fd;
  do {
    fd = calls.open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int takeLock(const LockCalls& calls, int fd) {
  int result;
  do {
    result = calls.flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result;
}

// The holder's id as it wrote it, or 0 when the file holds none.
int readHolder(int fd) {
  char text[32] = {};
  const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
  if (got <= 0) return 0;
  long pid = 0;
  for (ssize_t i = 0; i < got && text[i] >= '0' && text[i] <= '9'; ++i) {
    pid = pid * 10 + (text[i] - '0');
    if (pid > 0x7fffffffL) return 0;
  }
  return static_cast<int>(pid);
}

// The holder writes its id right after taking the lock; a station refused
// in between finds the file still empty and looks again a little later.
int waitForHolder(int fd) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (const int pid = readHolder(fd); pid > 0) return pid;
    const timespec pause{0, 5'000'000};
    ::nanosleep(&pause, nullptr);
  }
  return 0;
}

bool writeOwnId(int fd) {
  const std::string text = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) != 0) return false;
  return ::pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

LockOutcome failed(const std::string& reason) {
  LockOutcome outcome;
  outcome.error = reason;
  return outcome;
}

LockOutcome refused(const LockCalls& calls, int fd, int error) {
  LockOutcome outcome = failed(std::strerror(error));
  if (error == EWOULDBLOCK) {
    outcome.holder = waitForHolder(fd);
    outcome.error = "held by another process";
  }
  calls.close(fd);
  return outcome;
}

enum class Naming { Same, Other, Failed };

// Whether the path still names the file whose lock the descriptor holds:
// its holder may have deleted it between our open and our lock.
Naming namesLockedFile(const LockCalls& calls, const std::string& path, int fd) {
  struct stat locked {};
  struct stat named {};
  if (calls.fstat(fd, &locked) != 0) return Naming::Failed;
  if (calls.lstat(path.c_str(), &named) != 0) {
    return errno == ENOENT ? Naming::Other : Naming::Failed;
  }
  const bool same = locked.st_dev == named.st_dev && locked.st_ino == named.st_ino;
  return same ? Naming::Same : Naming::Other;
}

}  // namespace

LockCalls LockCalls::real() {
  LockCalls calls;
  calls.open = [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); };
  calls.flock = [](int fd, int operation) { return ::flock(fd, operation); };
  calls.fstat = [](int fd, struct stat* info) { return ::fstat(fd, info); };
  calls.lstat = [](const char* path, struct stat* info) { return ::lstat(path, info); };
  calls.close = [](int fd) { return ::close(fd); };
  return calls;
}

FileLocks::FileLocks(LockCalls calls) : calls_(std::move(calls)) {}

FileLocks::~FileLocks() {
  for (const auto& [path, fd] : held_) calls_.close(fd);
}

LockOutcome FileLocks::lock(const std::string& path) {
  if (holds(path)) return LockOutcome{true, 0, {}};
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const int fd = openLockFile(calls_, path);
    if (fd < 0) return failed(std::strerror(errno));
    if (takeLock(calls_, fd) != 0) return refused(calls_, fd, errno);
    const Naming naming = namesLockedFile(calls_, path, fd);
    if (naming == Naming::Same) {
      // The id is only for messages; a lock whose id could not be written
      // (a full disk) still keeps a second station out.
      writeOwnId(fd);
      held_[path] = fd;
      return LockOutcome{true, 0, {}};
    }
    const int error = errno;
    calls_.close(fd);
    if (naming == Naming::Failed) return failed(std::strerror(error));
  }
  return failed("the lock file was replaced at every try");
}

void FileLocks::unlock(const std::string& path) {
  const auto found = held_.find(path);
  if (found == held_.end()) return;
  // Closing the only descriptor of the open file releases the lock.
  calls_.close(found->second);
  held_.erase(found);
}

int currentProcessId() { return static_cast<int>(::getpid()); }

bool processRunning(int pid) {
  if (pid <= 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace meterstation
