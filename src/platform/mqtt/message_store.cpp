#include "platform/mqtt/message_store.h"

#include <cstdio>
#include <set>
#include <utility>

namespace meterstation {

namespace {

constexpr const char* kMessageSuffix = ".msg";
constexpr const char* kLockSuffix = ".lock";

// "<run>-<number>.msg" gives the run; anything else nothing.
std::optional<std::string> runOfMessage(const std::string& name) {
  if (name.empty() || name.front() == '.' || !name.ends_with(kMessageSuffix)) return std::nullopt;
  const std::size_t dash = name.rfind('-');
  if (dash == std::string::npos || dash == 0) return std::nullopt;
  return name.substr(0, dash);
}

std::optional<std::string> runOfLock(const std::string& name) {
  if (name.empty() || name.front() == '.' || !name.ends_with(kLockSuffix)) return std::nullopt;
  return name.substr(0, name.size() - std::string(kLockSuffix).size());
}

}  // namespace

std::string storedMessageText(const PlantMessage& message) {
  return message.topic + "\n" + message.payload;
}

std::optional<PlantMessage> storedMessageOf(const std::string& text) {
  const std::size_t end = text.find('\n');
  if (end == std::string::npos || end == 0) return std::nullopt;
  return PlantMessage{text.substr(0, end), text.substr(end + 1)};
}

MessageStore::MessageStore(Files& files, Host& host, std::string dir, std::string run)
    : files_(files), host_(host), dir_(std::move(dir)), run_(std::move(run)) {}

std::vector<std::string> MessageStore::open() {
  std::vector<std::string> paths;
  if (!host_.lock(pathOf(run_ + kLockSuffix)).ok) return paths;
  opened_ = true;
  const std::vector<std::string> names = files_.list(dir_);
  std::set<std::string> runs;
  for (const std::string& name : names) {
    if (auto run = runOfMessage(name)) runs.insert(*run);
    if (auto run = runOfLock(name)) runs.insert(*run);
  }
  // The set sorts the runs as they started.
  for (const std::string& run : runs) {
    if (run == run_ || !host_.lock(pathOf(run + kLockSuffix)).ok) continue;
    adopt(run, names, paths);
  }
  return paths;
}

// A run that is gone: its messages wait again, its half-written files
// (the temporaries of a replace cut short) go.
void MessageStore::adopt(const std::string& run, const std::vector<std::string>& names,
                         std::vector<std::string>& paths) {
  std::size_t count = 0;
  for (const std::string& name : names) {
    if (name.starts_with("." + run + "-")) {
      (void)files_.remove(pathOf(name));
    } else if (runOfMessage(name) == run) {
      paths.push_back(pathOf(name));
      ++count;
    }
  }
  waiting_[run] = count;
  if (count == 0) release(run);
}

void MessageStore::release(const std::string& run) {
  waiting_.erase(run);
  const std::string lock = pathOf(run + kLockSuffix);
  // Only the holder deletes a lock file, and before it lets go.
  (void)files_.remove(lock);
  host_.unlock(lock);
}

Result MessageStore::keep(const PlantMessage& message, std::string& path) {
  if (!opened_) return Result::failure("the store is not open");
  char number[24];
  std::snprintf(number, sizeof number, "%012llu", static_cast<unsigned long long>(next_));
  const std::string candidate = pathOf(run_ + "-" + number + kMessageSuffix);
  const Result written = files_.replace(candidate, storedMessageText(message));
  if (!written) return written;
  ++next_;
  ++waiting_[run_];
  path = candidate;
  return Result::success();
}

std::optional<PlantMessage> MessageStore::load(const std::string& path, std::string& error) {
  const ReadResult read = files_.read(path);
  if (!read.ok) {
    error = read.error;
    return std::nullopt;
  }
  auto message = storedMessageOf(read.bytes);
  if (!message) error = "it holds no topic";
  return message;
}

Result MessageStore::drop(const std::string& path) {
  const Result removed = files_.remove(path);
  if (!removed) return removed;
  const std::string name = path.substr(dir_.size() + 1);
  const auto run = runOfMessage(name);
  if (!run) return removed;
  const auto it = waiting_.find(*run);
  if (it == waiting_.end() || it->second == 0) return removed;
  if (--it->second == 0 && *run != run_) release(*run);
  return removed;
}

void MessageStore::close() {
  if (!opened_) return;
  const auto own = waiting_.find(run_);
  const bool ownLeft = own != waiting_.end() && own->second > 0;
  for (const auto& [run, count] : waiting_) {
    // Runs taken up and not finished wait for the next station.
    if (run != run_) host_.unlock(pathOf(run + kLockSuffix));
  }
  waiting_.clear();
  const std::string lock = pathOf(run_ + kLockSuffix);
  if (!ownLeft) (void)files_.remove(lock);
  host_.unlock(lock);
  opened_ = false;
}

}  // namespace meterstation
