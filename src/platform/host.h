#pragma once

#include <string>

namespace meterstation {

// A lock held on a file until released or until the process ends, when
// the kernel lets it go.
struct LockOutcome {
  bool ok = false;
  int holder = 0;  // the process that holds it, when another one does
  std::string error;
};

// What the station needs of the machine it runs on beyond its window, port,
// timer, clock and files.
class Host {
 public:
  virtual ~Host() = default;

  // A directory of the user's own, created when missing, where the lines
  // waiting for their files are kept; the empty text when there is none.
  virtual std::string dataDirectory() = 0;
  // One line on standard error.
  virtual void printError(const std::string& line) = 0;

  // Takes an exclusive lock on the file (created when missing) and writes
  // this process's id into it; fails at once when another process holds it.
  virtual LockOutcome lock(const std::string& path) = 0;
  virtual void unlock(const std::string& path) = 0;
  virtual int processId() = 0;
  virtual bool processRunning(int pid) = 0;

  // The separator of the paths the station is given and builds: '/' on
  // Linux.
  virtual char pathSeparator() const = 0;
};

}  // namespace meterstation
