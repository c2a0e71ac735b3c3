#pragma once

#include "bench/bench_report.h"

#include <string>
#include <vector>

namespace meterstation::bench {

long long monotonicNanos();

// VmHWM: the most the process ever had resident.
double peakResidentBytes();

// The year's database in the directory of --data DIR (default the working
// directory), made first when it is not there; empty when it cannot be.
std::string yearDatabasePath(int argc, char** argv);

// Runs a program and returns its standard output.
std::string runAndRead(const std::vector<std::string>& args);

struct ChildRun {
  int status = -1;
  double wallSeconds = 0;
  double userSeconds = 0;
  double systemSeconds = 0;
  double peakMb = 0;
};
// Runs a program with standard output to outPath (empty: /dev/null).
ChildRun runTimed(const std::vector<std::string>& args, const std::string& outPath = {});

}  // namespace meterstation::bench
