#include "platform/serial/port_notifier.h"

#include <utility>

namespace meterstation {

PortNotifier::PortNotifier(EventThreadPost toEventThread)
    : toEventThread_(std::move(toEventThread)) {}

void PortNotifier::opened() {
  closed();
  open_ = std::make_shared<Open>();
}

void PortNotifier::closed() {
  if (open_) open_->live = false;
  open_.reset();
}

std::function<void()> PortNotifier::poster(std::function<void()> call) const {
  return [post = toEventThread_, open = open_, call = std::move(call)] {
    post([open, call] {
      if (open->live) call();
    });
  };
}

void PortNotifier::deliverNews(PortNews& news) {
  const std::shared_ptr<Open> open = open_;
  const PortNews::News taken = news.take();
  if (taken.bytes && listener_ != nullptr) listener_->portReadable();
  // The listener may have closed the port meanwhile, or let the device go.
  if (!taken.failure || !open->live || listener_ == nullptr) return;
  listener_->portFailed(taken.failure->error, taken.failure->reason);
}

void PortNotifier::tellDrained() const {
  if (listener_ != nullptr) listener_->portDrained();
}

}  // namespace meterstation
