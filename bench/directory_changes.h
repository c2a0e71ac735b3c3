#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace meterstation::bench {

// The station seen from outside: when a file in its working directory
// changes (the journal, which keeps each reading the moment its tick
// comes), timed by a thread of the bench's own that waits on inotify.
class DirectoryChanges {
 public:
  DirectoryChanges(const std::string& dir, const std::string& name);
  ~DirectoryChanges();
  DirectoryChanges(const DirectoryChanges&) = delete;
  DirectoryChanges& operator=(const DirectoryChanges&) = delete;

  bool ok() const { return fd_ >= 0; }
  bool raised() const { return raised_; }
  std::vector<std::chrono::steady_clock::time_point> times();

 private:
  void watch();

  std::string name_;
  int fd_ = -1;
  bool raised_ = false;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::chrono::steady_clock::time_point> times_;
  std::thread thread_;
};

}  // namespace meterstation::bench
