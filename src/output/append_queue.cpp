#include "output/append_queue.h"

namespace meterstation {

AppendQueue::Outcome AppendQueue::append(Files& files, const std::string& name,
                                         const std::string& path, std::string line) {
  waiting_[name].push_back(std::move(line));
  return retry(files, name, path);
}

std::size_t AppendQueue::hold(const std::string& name, std::string line) {
  std::deque<std::string>& lines = waiting_[name];
  lines.push_back(std::move(line));
  return lines.size();
}

AppendQueue::Outcome AppendQueue::retry(Files& files, const std::string& name,
                                        const std::string& path) {
  Outcome outcome;
  auto it = waiting_.find(name);
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

std::size_t AppendQueue::waiting(const std::string& name) const {
  const auto it = waiting_.find(name);
  return it == waiting_.end() ? 0 : it->second.size();
}

std::size_t AppendQueue::totalWaiting() const {
  std::size_t total = 0;
  for (const auto& [name, lines] : waiting_) total += lines.size();
  return total;
}

}  // namespace meterstation
