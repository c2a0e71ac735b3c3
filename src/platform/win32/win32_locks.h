#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "platform/host.h"

namespace meterstation {

// Exclusive locks on lock files with LockFileEx: Windows lets a lock go
// when its handle closes, and closes every handle of a process that ends,
// however it ends, so a crashed station never leaves its working directory
// locked. The holder writes its process id into the file so that a station
// that is refused can say who holds it.
//
// Windows locks are mandatory: a locked byte cannot be read by anyone
// else. The lock is therefore taken on one byte far beyond the file's end,
// and the id at the start stays readable.
//
// A lock file may be deleted only by its holder, before it unlocks: a taker
// that opened it before then holds a file that has lost its name, sees that
// the path names another file or none, and tries again.
class Win32Locks {
 public:
  Win32Locks() = default;
  Win32Locks(const Win32Locks&) = delete;
  Win32Locks& operator=(const Win32Locks&) = delete;
  ~Win32Locks();

  // Never waits for the lock. A path this object already holds is held
  // once more.
  LockOutcome lock(const std::string& path);
  // Releases the lock; the file stays unless its holder deleted it first.
  void unlock(const std::string& path);
  bool holds(const std::string& path) const { return held_.count(path) != 0; }

 private:
  std::map<std::string, HANDLE> held_;  // path -> handle carrying the lock
};

}  // namespace meterstation
