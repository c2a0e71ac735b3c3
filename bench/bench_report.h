#pragma once

#include <string>
#include <vector>

namespace meterstation::bench {

// Prints one line of the table scripts/bench collects.
void printRow(const std::string& figure, const std::string& value, const std::string& goal,
              bool met);

// A line of the same table that has no goal: a figure to read the goals'
// figures against.
void printReference(const std::string& figure, const std::string& value);

// The value of --name N on the command line, or the fallback.
long optionValue(int argc, char** argv, const std::string& name, long fallback);
bool hasFlag(int argc, char** argv, const std::string& name);

// The q-quantile, 0 to 1, of the values (sorted in place).
double quantile(std::vector<double>& values, double q);

}  // namespace meterstation::bench
