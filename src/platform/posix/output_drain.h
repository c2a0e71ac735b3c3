#pragma once

#include <functional>
#include <memory>

#include "platform/result.h"

namespace meterstation {

// Waits for what was written to a terminal to leave it (tcdrain), on a
// thread of its own, so that the event thread never waits for the line.
// Each drain works on its own copy of the descriptor: the device stays
// open until the drain is done, whatever the port does meanwhile.
class OutputDrain {
 public:
  // ended is called on the drain's thread each time a drain ends.
  explicit OutputDrain(std::function<void()> ended);
  // ended is not called any more once this returns; drains still running
  // finish on their own.
  ~OutputDrain();
  OutputDrain(const OutputDrain&) = delete;
  OutputDrain& operator=(const OutputDrain&) = delete;

  // Starts a drain of what has been written to fd so far.
  Result start(int fd);
  bool running() const;
  // Waits at most timeoutMs until no drain runs; false when time ran out.
  bool waitUntilDone(int timeoutMs);

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace meterstation
