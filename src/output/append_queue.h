#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "output/waiting_lines.h"
#include "platform/files.h"

namespace meterstation {

// Lines that could not be appended yet, by the full path of their file,
// oldest first. A line the station accepted is never dropped: it waits
// here until an append to its own file succeeds again, and the waiting
// lines go first, so the file keeps its order.
class AppendQueue {
 public:
  struct Outcome {
    std::size_t written = 0;  // lines written by this call, the new one included
    std::size_t waiting = 0;  // lines still waiting afterwards
    std::string error;        // the reason of the failed append, if any
  };

  // Queues the line behind those already waiting for the file, then appends
  // the waiting lines in order until one fails.
  Outcome append(Files& files, const std::string& path, std::string line);
  // Queues the line without trying to write it; returns how many wait.
  std::size_t hold(const std::string& path, std::string line);
  // Appends what waits for the file without adding a line.
  Outcome retry(Files& files, const std::string& path);
  // Lines of an earlier run go behind those already waiting.
  void adopt(const WaitingLines& lines);

  std::size_t waiting(const std::string& path) const;
  std::size_t totalWaiting() const;
  bool holds(const std::string& path, const std::string& line) const;
  const WaitingLines& lines() const { return waiting_; }

 private:
  WaitingLines waiting_;
};

}  // namespace meterstation
