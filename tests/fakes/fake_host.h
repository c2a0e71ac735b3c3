#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/host.h"

namespace meterstation::testing {

// The machine in memory: locks held by this process or by others, and the
// processes that run.
class FakeHost : public Host {
 public:
  std::string dataDir = "/home/op/.local/share/meterstation";
  std::vector<std::string> errors;
  int pid = 4242;
  std::set<std::string> held;             // locks this process holds
  std::map<std::string, int> othersHold;  // locks of other running stations
  std::set<int> running;                  // other processes that still run

  std::string dataDirectory() override { return dataDir; }
  void printError(const std::string& line) override { errors.push_back(line); }
  LockOutcome lock(const std::string& path) override {
    const auto other = othersHold.find(path);
    if (other != othersHold.end())
      return {false, other->second, "Resource temporarily unavailable"};
    held.insert(path);
    return {true, 0, {}};
  }
  void unlock(const std::string& path) override { held.erase(path); }
  int processId() override { return pid; }
  bool processRunning(int other) override { return other == pid || running.contains(other); }
  char pathSeparator() const override { return '/'; }
};

}  // namespace meterstation::testing
