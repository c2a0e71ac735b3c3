#pragma once

#include <string>
#include <utility>

#include "platform/settings_store.h"

namespace meterstation::testsupport {

// A run still going, in workDir with this marker and interval, on port 3
// for 12 sets with Check1 ticked and Check2 not: every field away from its
// default, so that one lost between saving and taking up shows.
inline RunSettings goingRun(std::string workDir, std::string marker, std::string interval) {
  RunSettings run;
  run.workDir = std::move(workDir);
  run.port = 3;
  run.marker = std::move(marker);
  run.obs = "12";
  run.interval = std::move(interval);
  run.debug = 1;
  run.vistaFix = 0;
  run.going = true;
  return run;
}

}  // namespace meterstation::testsupport
