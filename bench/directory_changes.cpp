#include "bench/directory_changes.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "bench/real_time.h"

namespace meterstation::bench {

DirectoryChanges::DirectoryChanges(const std::string& dir, const std::string& name) : name_(name) {
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return;
  if (inotify_add_watch(fd_, dir.c_str(), IN_MODIFY | IN_MOVED_TO | IN_CREATE) < 0) {
    close(fd_);
    fd_ = -1;
    return;
  }
  thread_ = std::thread([this] { watch(); });
  raised_ = raiseThread(thread_.native_handle());
}

DirectoryChanges::~DirectoryChanges() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) close(fd_);
}

void DirectoryChanges::watch() {
  alignas(inotify_event) char buffer[4096];
  while (!stop_) {
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, 50) <= 0) continue;
    const auto now = std::chrono::steady_clock::now();
    const ssize_t got = read(fd_, buffer, sizeof buffer);
    bool named = false;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      named = named || (event->len > 0 && name_ == event->name);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    // Only the moment counts: one read may hold several events.
    if (!named) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    times_.push_back(now);
  }
}

std::vector<std::chrono::steady_clock::time_point> DirectoryChanges::times() {
  std::lock_guard<std::mutex> lock(mutex_);
  return times_;
}

}  // namespace meterstation::bench
