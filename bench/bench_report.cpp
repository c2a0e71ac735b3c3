#include "bench/bench_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace meterstation::bench {

void printRow(const std::string& figure, const std::string& value, const std::string& goal,
              bool met) {
  std::printf("ROW|%s|%s|%s|%s\n", figure.c_str(), value.c_str(), goal.c_str(),
              met ? "met" : "NOT MET");
  std::fflush(stdout);
}

void printReference(const std::string& figure, const std::string& value) {
  std::printf("ROW|%s|%s|no goal|-\n", figure.c_str(), value.c_str());
  std::fflush(stdout);
}

long optionValue(int argc, char** argv, const std::string& name, long fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (name == argv[i]) return std::strtol(argv[i + 1], nullptr, 10);
  }
  return fallback;
}

bool hasFlag(int argc, char** argv, const std::string& name) {
  return std::find(argv + 1, argv + argc, name) != argv + argc;
}

double quantile(std::vector<double>& values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto index =
      static_cast<std::size_t>(std::lround(q * static_cast<double>(values.size() - 1)));
  return values[std::min(index, values.size() - 1)];
}

}  // namespace meterstation::bench
