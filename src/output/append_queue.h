#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <string>

#include "platform/files.h"

namespace meterstation {

// Lines that could not be appended yet, per file name, oldest first. A
// line the station accepted is never dropped: it waits here until an
// append to its file succeeds again, and the waiting lines go first, so
// the file keeps its order.
class AppendQueue {
 public:
  struct Outcome {
    std::size_t written = 0;  // lines written by this call, the new one included
    std::size_t waiting = 0;  // lines still waiting afterwards
    std::string error;        // the reason of the failed append, if any
  };

  // Queues the line behind those already waiting for the file name, then
  // appends the waiting lines to path in order until one fails.
  Outcome append(Files& files, const std::string& name, const std::string& path, std::string line);
  // Queues the line without trying to write it; returns how many wait.
  std::size_t hold(const std::string& name, std::string line);
  // Appends what waits for the name without adding a line.
  Outcome retry(Files& files, const std::string& name, const std::string& path);

  std::size_t waiting(const std::string& name) const;
  std::size_t totalWaiting() const;
  const std::map<std::string, std::deque<std::string>>& lines() const { return waiting_; }

 private:
  std::map<std::string, std::deque<std::string>> waiting_;
};

}  // namespace meterstation
