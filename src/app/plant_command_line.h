#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/plant_options.h"
#include "platform/settings_store.h"

namespace meterstation {

// The options of the feed to a site's MQTT broker, as the command line
// gives them. What they name (the broker, the files) is looked at only when
// the station runs: a mistake there is said in the window and the station
// takes its readings all the same.
struct PlantArguments {
  PlantOptions options;
  std::set<std::string> given;  // the options that were on the command line
  std::string error;

  bool any() const { return !given.empty(); }
};

// Reads the argument at `at` (and its value after it) when it is one of
// the --mqtt options; false for any other argument.
bool readPlantArgument(const std::vector<std::string>& arguments, std::size_t& at,
                       PlantArguments& plant);

// What the options given make together: the error for a combination that
// means nothing, the empty text for a sound one.
std::string plantArgumentsProblem(const PlantArguments& plant);

// The broker the station publishes to: the command line's, or with
// --resume alone the one the remembered run had. Nothing given, nothing
// published: a station started plainly opens no socket.
PlantOptions plantOptionsToUse(const PlantArguments& plant, bool resume,
                               const std::optional<RunSettings>& remembered);

// The lines of --help that describe them.
std::string plantUsageText();

}  // namespace meterstation
