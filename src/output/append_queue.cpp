#include "output/append_queue.h"

#include <algorithm>

namespace meterstation {

AppendQueue::Outcome AppendQueue::append(Files& files, const std::string& path, std::string line) {
  waiting_[path].push_back(std::move(line));
  return retry(files, path);
}

std::size_t AppendQueue::hold(const std::string& path, std::string line) {
  std::deque<std::string>& lines = waiting_[path];
  lines.push_back(std::move(line));
  return lines.size();
}

AppendQueue::Outcome AppendQueue::retry(Files& files, const std::string& path) {
  Outcome outcome;
  auto it = waiting_.find(path);
  if (it == waiting_.end()) return outcome;
  std::deque<std::string>& lines = it->second;
  while (!lines.empty()) {
    const Result result = files.append(path, lines.front());
    if (!result) {
      outcome.error = result.error;
      break;
    }
    lines.pop_front();
    ++outcome.written;
  }
  outcome.waiting = lines.size();
  if (lines.empty()) waiting_.erase(it);
  return outcome;
}

void AppendQueue::adopt(const WaitingLines& lines) {
  for (const auto& [path, adopted] : lines) {
    std::deque<std::string>& queue = waiting_[path];
    queue.insert(queue.end(), adopted.begin(), adopted.end());
  }
}

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
  return it != waiting_.end() && std::find(it->second.begin(), it->second.end(), line) !=
                                     it->second.end();
}

}  // namespace meterstation
