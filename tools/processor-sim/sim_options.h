#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "processor-sim/burst_plan.h"

namespace meterstation::sim {

struct SimOptions {
  std::string linkPath;    // --link: symlink to the pty's slave
  std::string devicePath;  // --device: a real serial port instead of a pty
  int silenceMs = 3000;
  int sets = 0;  // 0: endless
  bool shuffle = false;
  bool fast = false;
  std::uint64_t seed = 1;
  FaultPeriods faults;
  int hangupMs = 3000;
  std::string logPath;
  bool quiet = false;
  bool help = false;
};

struct ParsedOptions {
  bool ok = true;
  SimOptions options;
  std::string error;  // one sentence naming the option at fault
};

// The command line without the program name. "--name value" and
// "--name=value" are both taken; a later option overrides an earlier one.
ParsedOptions parseOptions(const std::vector<std::string>& args);

std::string helpText();

}  // namespace meterstation::sim
