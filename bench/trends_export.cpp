// meterstation-trends --export of the year's database to PNG, the whole
// program as a report script would run it, on Qt's offscreen platform.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "bench/trends_bench.h"

using namespace meterstation::bench;

int main(int argc, char** argv) {
  const std::string year = yearDatabasePath(argc, argv);
  if (year.empty()) return 1;
  const int runs =
      static_cast<int>(optionValue(argc, argv, "--runs", hasFlag(argc, argv, "--quick") ? 1 : 3));
  const std::string png = std::filesystem::path(year).parent_path().string() + "/year.png";
  // As a report script without a display runs it.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  double worst = 0;
  double peak = 0;
  for (int i = 0; i < runs; ++i) {
    const ChildRun run = runTimed({METERSTATION_TRENDS, "--export", png, year});
    if (run.status != 0 || !std::filesystem::exists(png)) {
      std::fprintf(stderr, "trends_export: the export failed with status %d\n", run.status);
      return 1;
    }
    worst = std::max(worst, run.wallSeconds);
    peak = std::max(peak, run.peakMb);
  }
  char value[96];
  std::snprintf(value, sizeof value, "%.2f s (worst of %d; peak %.0f MB)", worst, runs, peak);
  printRow("trends: --export of the year to PNG", value, "<= 3 s", worst <= 3);
  return 0;
}
