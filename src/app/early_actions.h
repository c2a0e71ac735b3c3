#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/autostart.h"
#include "app/command_line.h"

namespace meterstation {

// The arguments after the program's name.
std::vector<std::string> argumentsOf(int argc, char** argv);

// Says the arguments are none of this program's, with the usage; the exit
// status.
int unknownArguments(const std::vector<std::string>& unknown);

// What the program does before it opens a window: a mistake in the
// options, help, the version, or switching the start at login, which the
// caller does as its system has it. The exit status when the program ends
// there; nothing when the station is to run.
std::optional<int> runEarlyAction(const ParsedOptions& parsed,
                                  const std::function<AutostartOutcome(bool on)>& setAutostart);

}  // namespace meterstation
