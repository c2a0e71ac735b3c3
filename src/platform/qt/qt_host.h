#pragma once

#include "platform/host.h"
#include "platform/posix/file_locks.h"

namespace meterstation {

// The user's application data directory (QStandardPaths::AppDataLocation),
// standard error, and flock locks on lock files.
class QtHost : public Host {
 public:
  std::string dataDirectory() override;
  void printError(const std::string& line) override;

  LockOutcome lock(const std::string& path) override;
  void unlock(const std::string& path) override;
  int processId() override;
  bool processRunning(int pid) override;
  char pathSeparator() const override;

 private:
  FileLocks locks_;
};

}  // namespace meterstation
