#include "platform/win32/win32_port_device.h"

#include <chrono>
#include <utility>

namespace meterstation {

Win32PortDevice::Win32PortDevice(EventThreadPost toEventThread)
    : toEventThread_(std::move(toEventThread)) {}

Win32PortDevice::~Win32PortDevice() {
  listener_ = nullptr;
  closePort();
}

void Win32PortDevice::setListener(PortListener* listener) { listener_ = listener; }

Result Win32PortDevice::open(int port, const LineSettings& settings) {
  closePort();
  if (const Result opened = openCommPort(port, settings, port_); !opened) return opened;
  if (const Result started = startThreads(); !started) {
    closePort();
    return started;
  }
  return Result::success();
}

Result Win32PortDevice::startThreads() {
  token_ = std::make_shared<Token>(Token{this});
  news_ = std::make_unique<PortNews>(poster(&Win32PortDevice::deliverNews));
  reader_ = std::make_unique<Win32PortReader>(port_.handle.get(), *news_);
  writer_ = std::make_unique<Win32PortWriter>(port_.handle.get(), *news_,
                                              poster(&Win32PortDevice::drainEnded));
  if (const Result started = reader_->start(); !started) return started;
  return writer_->start();
}

void Win32PortDevice::close() { closePort(); }

// The threads never wait for the event thread, so this may run inside a
// listener's call.
void Win32PortDevice::closePort() {
  outputPending_ = false;
  if (token_) token_->device = nullptr;
  token_.reset();
  reader_.reset();
  writer_.reset();
  news_.reset();
  port_.handle.reset();
  port_.claim.reset();
}

bool Win32PortDevice::isOpen() const { return reader_ != nullptr; }

std::vector<Arrival> Win32PortDevice::read() {
  if (!news_) return {};
  return news_->takeArrivals();
}

Result Win32PortDevice::write(const std::string& bytes) {
  if (!writer_) return Result::failure("the device is not open");
  if (const auto failure = news_->failure()) return Result::failure(failure->reason);
  writer_->write(bytes);
  outputPending_ = true;
  return Result::success();
}

bool Win32PortDevice::outputPending() const { return outputPending_; }

Result Win32PortDevice::finishOutput(int timeoutMs) {
  if (!writer_) return Result::success();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  if (!writer_->waitUntilIdle(deadline)) return Result::failure(notLeftWithin(timeoutMs));
  if (const auto failure = news_->failure(); failure && outputPending_) {
    return Result::failure(failure->reason);
  }
  return Result::success();
}

// What the threads say is posted to the event thread through the token of
// this open.
std::function<void()> Win32PortDevice::poster(void (Win32PortDevice::*call)()) const {
  return [post = toEventThread_, token = token_, call] {
    post([token, call] {
      if (token->device != nullptr) (token->device->*call)();
    });
  };
}

void Win32PortDevice::deliverNews() {
  const std::shared_ptr<Token> token = token_;
  const PortNews::News news = news_->take();
  if (news.bytes && listener_ != nullptr) listener_->portReadable();
  // The listener may have closed the port meanwhile, or let the device go.
  if (!news.failure || token->device == nullptr || listener_ == nullptr) return;
  listener_->portFailed(news.failure->error, news.failure->reason);
}

// Output written after the writer last fell idle is still on its way.
void Win32PortDevice::drainEnded() {
  if (!outputPending_ || !writer_->idle()) return;
  outputPending_ = false;
  if (listener_ != nullptr) listener_->portDrained();
}

}  // namespace meterstation
