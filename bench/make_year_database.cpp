// Writes the benchmarks' year database, or its first SETS lines:
//   bench_make_year_database PATH [SETS]
#include <cstdio>
#include <cstdlib>

#include "bench/year_database.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_make_year_database PATH [SETS]\n");
    return 2;
  }
  const std::size_t sets =
      argc > 2 ? std::strtoul(argv[2], nullptr, 10) : meterstation::bench::kYearSets;
  if (!meterstation::bench::ensureYearDatabase(argv[1], sets)) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
