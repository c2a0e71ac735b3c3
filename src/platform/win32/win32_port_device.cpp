#include "platform/win32/win32_port_device.h"

#include <chrono>
#include <utility>

namespace meterstation {

Win32PortDevice::Win32PortDevice(EventThreadPost toEventThread)
    : notifier_(std::move(toEventThread)) {}

Win32PortDevice::~Win32PortDevice() {
  notifier_.setListener(nullptr);
  closePort();
}

void Win32PortDevice::setListener(PortListener* listener) { notifier_.setListener(listener); }

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
  notifier_.opened();
  news_ = std::make_unique<PortNews>(notifier_.poster([this] { notifier_.deliverNews(*news_); }));
  reader_ = std::make_unique<Win32PortReader>(port_.handle.get(), *news_);
  writer_ = std::make_unique<Win32PortWriter>(port_.handle.get(), *news_,
                                              notifier_.poster([this] { drainEnded(); }));
  if (const Result started = reader_->start(); !started) return started;
  return writer_->start();
}

void Win32PortDevice::close() { closePort(); }

// The threads never wait for the event thread, so this may run inside a
// listener's call.
void Win32PortDevice::closePort() {
  outputPending_ = false;
  notifier_.closed();
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

// Output written after the writer last fell idle is still on its way.
void Win32PortDevice::drainEnded() {
  if (!outputPending_ || !writer_->idle()) return;
  outputPending_ = false;
  notifier_.tellDrained();
}

}  // namespace meterstation
