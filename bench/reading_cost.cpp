// What one reading costs the station logic without the window or the disk:
// Form1 over the in-memory fakes, per reading and for the reading that
// completes a set.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "bench/bench_report.h"
#include "bench/benchmark_rows.h"
#include "fakes/station_harness.h"

using meterstation::TextId;
using meterstation::testing::readingOf;
using meterstation::testing::StationHarness;

namespace {

std::unique_ptr<StationHarness> runningStation() {
  auto station = std::make_unique<StationHarness>();
  // More sets than any run takes, so the station never stops itself.
  station->window.texts[TextId::Text3] = "100000000";
  station->openPort();
  station->synchronise();
  return station;
}

// Every reading as it comes, sets completing every sixteenth.
void perReading(benchmark::State& state) {
  auto station = runningStation();
  int meter = 0;
  for (auto _ : state) {
    station->burst(readingOf(meter % 16 + 1, meter % 1000));
    ++meter;
  }
  state.counters["sets"] = static_cast<double>(station->form.state().obsCount);
}
BENCHMARK(perReading);

// Only the sixteenth reading is timed: it builds the database line and
// writes the set files.
void setCompletingReading(benchmark::State& state) {
  auto station = runningStation();
  const std::string last = readingOf(16);
  for (auto _ : state) {
    state.PauseTiming();
    for (int meter = 1; meter <= 15; ++meter) station->burst(readingOf(meter));
    state.ResumeTiming();
    station->burst(last);
  }
  state.counters["sets"] = static_cast<double>(station->form.state().obsCount);
}
BENCHMARK(setCompletingReading);

}  // namespace

int main(int argc, char** argv) {
  meterstation::bench::RecordingReporter reporter;
  meterstation::bench::runBenchmarks(argc, argv, reporter);

  const double perReadingUs = reporter.of("perReading") / 1000;
  const double setUs = reporter.of("setCompletingReading") / 1000;
  char value[64];
  std::snprintf(value, sizeof value, "%.2f us", perReadingUs);
  meterstation::bench::printRow("cost per reading, no GUI (average)", value, "<= 5 us",
                                perReadingUs > 0 && perReadingUs <= 5);
  std::snprintf(value, sizeof value, "%.2f us", setUs);
  meterstation::bench::printRow("cost of the set-completing reading, no GUI", value, "<= 50 us",
                                setUs > 0 && setUs <= 50);
  return 0;
}
