#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <functional>
#include <map>
#include <string>

#include "platform/host.h"

namespace meterstation {

// The system calls through which FileLocks takes its locks. Tests put in
// calls that let another taker or deleter act at a chosen moment.
struct LockCalls {
  std::function<int(const char* path, int flags, mode_t mode)> open;
  std::function<int(int fd, int operation)> flock;
  std::function<int(int fd, struct stat* info)> fstat;
  std::function<int(const char* path, struct stat* info)> lstat;
  std::function<int(int fd)> close;

  static LockCalls real();
};

// Exclusive locks on lock files with flock: the kernel lets a lock go when
// its holder dies, however it dies, so a crashed station never leaves its
// working directory locked. The holder writes its process id into the file
// so that a station that is refused can say who holds it.
//
// A lock file may be deleted only by its holder, before it unlocks: a taker
// that opened it before then holds a file without a name, sees that the
// path names another file or none, and tries again.
class FileLocks {
 public:
  explicit FileLocks(LockCalls calls = LockCalls::real());
  FileLocks(const FileLocks&) = delete;
  FileLocks& operator=(const FileLocks&) = delete;
  ~FileLocks();

  // Never waits. A path this object already holds is held once more.
  LockOutcome lock(const std::string& path);
  // Releases the lock; the file stays unless its holder deleted it first.
  void unlock(const std::string& path);
  bool holds(const std::string& path) const { return held_.count(path) != 0; }

 private:
  LockCalls calls_;
  std::map<std::string, int> held_;  // path -> descriptor carrying the lock
};

int currentProcessId();
// Whether a process with this id exists; one that belongs to another user
// exists too.
bool processRunning(int pid);

}  // namespace meterstation
