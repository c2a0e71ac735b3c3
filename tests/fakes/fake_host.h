#pragma once

#include <string>
#include <vector>

#include "platform/host.h"

namespace meterstation::testing {

class FakeHost : public Host {
 public:
  std::string recoveryDir = "R:\\recovery";
  std::vector<std::string> errors;

  std::string recoveryDirectory() override { return recoveryDir; }
  void printError(const std::string& line) override { errors.push_back(line); }
};

}  // namespace meterstation::testing
