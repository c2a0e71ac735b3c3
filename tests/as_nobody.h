#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

namespace meterstation::testing {

// What a child run of this test program printed, and how it ended.
struct ChildRun {
  int status = -1;
  std::string output;
};

// Runs the disabled tests of this program that match the filter again as
// the user nobody: permissions mean nothing to root, so only an
// unprivileged process meets a read-only directory as an operator would.
inline ChildRun runAsNobody(const std::string& gtestFilter) {
  ChildRun run;
  char self[4096] = {};
  if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return run;
  const std::string command =
      std::string("/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups ") + self +
      " --gtest_also_run_disabled_tests --gtest_filter=" + gtestFilter + " 2>&1";
  FILE* child = ::popen(command.c_str(), "r");
  if (child == nullptr) return run;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, child) != nullptr) run.output += buffer;
  run.status = ::pclose(child);
  return run;
}

}  // namespace meterstation::testing
