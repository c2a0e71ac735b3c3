#pragma once

#include <optional>
#include <string>

#include "platform/plant_options.h"
#include "platform/result.h"

namespace meterstation {

// What a station needs to take up a run again by itself: the working
// directory, the port and the controls the operator sets.
struct RunSettings {
  std::string workDir;
  int port = 0;
  std::string marker;    // Text1
  std::string obs;       // Text3
  std::string interval;  // Text4
  int debug = 0;         // Check1
  int vistaFix = 1;      // Check2
  // Still running: only the stop command with no sets left, or the
  // operator closing the window, ends a run.
  bool going = false;
  // How it published to the site's broker; no URL when it did not.
  PlantOptions plant{};
};

// The run's settings in the user's configuration.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  virtual Result save(const RunSettings& settings) = 0;
  // Nothing when no run was ever remembered or what is kept is unreadable.
  virtual std::optional<RunSettings> load() = 0;
};

}  // namespace meterstation
