#pragma once

#include "platform/host.h"
#include "platform/win32/win32_locks.h"

namespace meterstation {

// The user's roaming application data directory, standard error, and
// LockFileEx locks on lock files.
class Win32Host : public Host {
 public:
  std::string dataDirectory() override;
  void printError(const std::string& line) override;

  LockOutcome lock(const std::string& path) override;
  void unlock(const std::string& path) override;
  int processId() override;
  bool processRunning(int pid) override;
  char pathSeparator() const override { return '\\'; }

 private:
  Win32Locks locks_;
};

}  // namespace meterstation
