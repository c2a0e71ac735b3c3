#pragma once

#include <string>
#include <vector>

#include "app/plant_command_line.h"

namespace meterstation {

enum class AppAction { Run, Help, Version, Autostart };

struct AppOptions {
  AppAction action = AppAction::Run;
  bool resume = false;       // --resume
  bool autostartOn = false;  // --autostart on (else off)
  // Arguments that are none of this program's: the toolkit's own options
  // until it has taken them out, mistakes after that.
  std::vector<std::string> unknown;
  PlantArguments plant{};  // --mqtt and its options
};

struct ParsedOptions {
  bool ok = true;
  AppOptions options;
  std::string error;  // for the operator, without the program's name
};

// The arguments after the program's name. --help wins over everything
// else, --version over the rest; --autostart does its work and ends, so it
// goes with neither --resume nor --mqtt.
ParsedOptions parseOptions(const std::vector<std::string>& arguments);

// Every option, one to a line, for --help and after a mistake.
std::string usageText();

}  // namespace meterstation
