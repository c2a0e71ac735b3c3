#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <map>
#include <string>

namespace meterstation::bench {

// The console report as usual, keeping each benchmark's real time per
// iteration in nanoseconds so the program can set it against its goal.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  // Plain text when the output goes to a file, so that the ROW lines
  // scripts/bench looks for start their lines.
  RecordingReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const double toNanos = 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
      nanos[run.benchmark_name()] = run.GetAdjustedRealTime() * toNanos;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Real nanoseconds per iteration of the named benchmark, 0 when it did not run.
  double of(const std::string& name) const {
    const auto found = nanos.find(name);
    return found == nanos.end() ? 0 : found->second;
  }

  std::map<std::string, double> nanos;
};

// Runs the benchmarks the command line names, each reported to the reporter.
inline void runBenchmarks(int& argc, char** argv, RecordingReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}

}  // namespace meterstation::bench
