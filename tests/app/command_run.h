#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace meterstation::testing {

struct CommandRun {
  int status = -1;     // the exit status; -1 when it did not exit by itself
  std::string output;  // standard output and standard error together
};

// Runs a shell command line to its end.
inline CommandRun runCommand(const std::string& command) {
  CommandRun run;
  FILE* child = ::popen((command + " 2>&1").c_str(), "r");
  if (child == nullptr) return run;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, child) != nullptr) run.output += buffer;
  const int status = ::pclose(child);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace meterstation::testing
