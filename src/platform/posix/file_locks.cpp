#include "platform/posix/file_locks.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace meterstation {

namespace {

// Not through a symbolic link: truncating and writing an id into whatever
// a planted link points at would damage a file of the user's.
int openLockFile(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int takeLock(int fd) {
  int result;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
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

}  // namespace

FileLocks::~FileLocks() {
  for (const auto& [path, fd] : held_) ::close(fd);
}

LockOutcome FileLocks::lock(const std::string& path) {
  if (holds(path)) return LockOutcome{true, 0, {}};
  const int fd = openLockFile(path);
  if (fd < 0) return failed(std::strerror(errno));
  if (takeLock(fd) != 0) {
    const int error = errno;
    LockOutcome outcome = failed(std::strerror(error));
    if (error == EWOULDBLOCK) {
      outcome.holder = waitForHolder(fd);
      outcome.error = "held by another process";
    }
    ::close(fd);
    return outcome;
  }
  // The id is only for messages; a lock whose id could not be written (a
  // full disk) still keeps a second station out.
  writeOwnId(fd);
  held_[path] = fd;
  return LockOutcome{true, 0, {}};
}

void FileLocks::unlock(const std::string& path) {
  const auto found = held_.find(path);
  if (found == held_.end()) return;
  // Closing the only descriptor of the open file releases the lock.
  ::close(found->second);
  held_.erase(found);
}

int currentProcessId() { return static_cast<int>(::getpid()); }

bool processRunning(int pid) {
  if (pid <= 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace meterstation
