#pragma once

#include <string>

namespace meterstation {

// What the station needs of the machine it runs on beyond its window, port,
// timer, clock and files.
class Host {
 public:
  virtual ~Host() = default;

  // A directory of the user's own, created when missing, where lines that
  // could not reach their files are kept when the program ends; the empty
  // text when there is none.
  virtual std::string recoveryDirectory() = 0;
  // One line on standard error.
  virtual void printError(const std::string& line) = 0;
};

}  // namespace meterstation
