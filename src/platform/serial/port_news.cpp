#include "platform/serial/port_news.h"

#include <chrono>
#include <utility>

namespace meterstation {

PortNews::PortNews(std::function<void()> postNews) : postNews_(std::move(postNews)) {}

void PortNews::queue(std::string bytes) {
  bool post = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    arrivals_.push_back({std::chrono::steady_clock::now(), std::move(bytes)});
    post = !std::exchange(newsPosted_, true);
  }
  if (post) postNews_();
}

void PortNews::fail(PortFailure failure) {
  bool post = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (failure_) return;
    failure_ = std::move(failure);
    post = !std::exchange(newsPosted_, true);
  }
  if (post) postNews_();
}

PortNews::News PortNews::take() {
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

std::vector<Arrival> PortNews::takeArrivals() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(arrivals_, {});
}

std::optional<PortFailure> PortNews::failure() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return failure_;
}

}  // namespace meterstation
