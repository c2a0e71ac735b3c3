#include "output/append_queue.h"

#include <algorithm>

namespace meterstation {

std::size_t AppendQueue::hold(const std::string& path, std::string line) {
  std::deque<std::string>& lines = waiting_[path];
  lines.push_back(std::move(line));
  return lines.size();
}

const std::string& AppendQueue::front(const std::string& path) const {
  return waiting_.at(path).front();
}

void AppendQueue::pop(const std::string& path) {
  const auto it = waiting_.find(path);
  if (it == waiting_.end()) return;
  it->second.pop_front();
  if (it->second.empty()) waiting_.erase(it);
}

void AppendQueue::adopt(const WaitingLines& lines) {
  for (const auto& [path, adopted] : lines) {
    std::deque<std::string>& queue = waiting_[path];
    queue.insert(queue.end(), adopted.begin(), adopted.end());
  }
}

void AppendQueue::markDelivery(const std::string& path, std::uint64_t sizeBefore) {
  deliveries_[path] = sizeBefore;
}

void AppendQueue::clearDelivery(const std::string& path) { deliveries_.erase(path); }

std::size_t AppendQueue::waiting(const std::string& path) const {
  const auto it = waiting_.find(path);
  return it == waiting_.end() ? 0 : it->second.size();
}

std::size_t AppendQueue::totalWaiting() const {
  std::size_t total = 0;
  for (const auto& [path, lines] : waiting_) total += lines.size();
  return total;
}

bool AppendQueue::holds(const std::string& path, const std::string& line) const {
  const auto it = waiting_.find(path);
  return it != waiting_.end() &&
         std::find(it->second.begin(), it->second.end(), line) != it->second.end();
}

}  // namespace meterstation
