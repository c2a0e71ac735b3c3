#pragma once

#include <map>
#include <string>

#include "platform/host.h"

namespace meterstation {

// Exclusive locks on lock files with flock: the kernel lets a lock go when
// its holder dies, however it dies, so a crashed station never leaves its
// working directory locked. The holder writes its process id into the file
// so that a station that is refused can say who holds it.
class FileLocks {
 public:
  FileLocks() = default;
  FileLocks(const FileLocks&) = delete;
  FileLocks& operator=(const FileLocks&) = delete;
  ~FileLocks();

  // Never waits. A path this object already holds is held once more.
  LockOutcome lock(const std::string& path);
  // Releases the lock; the file stays, so that a station taking it next
  // never races one that deletes it.
  void unlock(const std::string& path);
  bool holds(const std::string& path) const { return held_.count(path) != 0; }

 private:
  std::map<std::string, int> held_;  // path -> descriptor carrying the lock
};

int currentProcessId();
// Whether a process with this id exists; one that belongs to another user
// exists too.
bool processRunning(int pid);

}  // namespace meterstation
