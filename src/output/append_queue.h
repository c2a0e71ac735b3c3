#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "output/waiting_lines.h"

namespace meterstation {

// Lines that could not be appended yet, by the full path of their file,
// oldest first. A line the station accepted is never dropped: it waits
// here until an append to its own file succeeds again, and the waiting
// lines go first, so the file keeps its order.
class AppendQueue {
 public:
  // Queues the line behind those already waiting; returns how many wait.
  std::size_t hold(const std::string& path, std::string line);
  const std::string& front(const std::string& path) const;
  void pop(const std::string& path);
  // Lines of an earlier run go behind those already waiting.
  void adopt(const WaitingLines& lines);

  // While the first waiting line is appended: the file's size before.
  void markDelivery(const std::string& path, std::uint64_t sizeBefore);
  void clearDelivery(const std::string& path);
  const Deliveries& deliveries() const { return deliveries_; }

  std::size_t waiting(const std::string& path) const;
  std::size_t totalWaiting() const;
  bool holds(const std::string& path, const std::string& line) const;
  const WaitingLines& lines() const { return waiting_; }

 private:
  WaitingLines waiting_;
  Deliveries deliveries_;
};

}  // namespace meterstation
