#pragma once

#include "platform/host.h"

namespace meterstation {

// The user's application data directory (QStandardPaths::AppDataLocation)
// and standard error.
class QtHost : public Host {
 public:
  std::string recoveryDirectory() override;
  void printError(const std::string& line) override;
};

}  // namespace meterstation
