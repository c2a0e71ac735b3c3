#include "platform/win32/win32_port_news.h"

#include <chrono>
#include <utility>

namespace meterstation {

Win32PortNews::Win32PortNews(std::function<void()> postNews) : postNews_(std::move(postNews)) {}

void Win32PortNews::queue(std::string bytes) {
  bool post = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    arrivals_.push_back({std::chrono::steady_clock::now(), std::move(bytes)});
    post = !std::exchange(newsPosted_, true);
  }
  if (post) postNews_();
}

void Win32PortNews::fail(PortFailure failure) {
  bool post = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (failure_) return;
    failure_ = std::move(failure);
    post = !std::exchange(newsPosted_, true);
  }
  if (post) postNews_();
}

Win32PortNews::News Win32PortNews::take() {
  const std::lock_guard<std::mutex> lock(mutex_);
  newsPosted_ = false;
  News news;
  news.bytes = !arrivals_.empty();
  if (failure_ && !failureTold_) {
    failureTold_ = true;
    news.failure = failure_;
  }
  return news;
}

std::vector<Arrival> Win32PortNews::takeArrivals() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(arrivals_, {});
}

std::optional<PortFailure> Win32PortNews::failure() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return failure_;
}

}  // namespace meterstation
