#include "platform/serial/memory_port.h"

#include <chrono>
#include <utility>

namespace meterstation {

bool MemoryPort::deliver(const std::string& bytes) {
  return deliver(bytes, clock_ ? clock_() : std::chrono::steady_clock::now());
}

bool MemoryPort::deliver(const std::string& bytes, Instant at) {
  if (!arriveUnheard(bytes, at)) return false;
  tell();
  return true;
}

bool MemoryPort::arriveUnheard(const std::string& bytes, Instant at) {
  if (!open_) return false;
  arrived_.push_back({at, bytes});
  return true;
}

void MemoryPort::tell() {
  if (open_ && listener_ != nullptr) listener_->portReadable();
}

void MemoryPort::setClock(std::function<Instant()> clock) { clock_ = std::move(clock); }

bool MemoryPort::raise(PortError error, const std::string& reason) {
  if (!open_) return false;
  if (listener_ != nullptr) listener_->portFailed(error, reason);
  return true;
}

void MemoryPort::failDuringNextWrite(PortError error, const std::string& reason) {
  writeFailure_ = std::make_pair(error, reason);
}

void MemoryPort::refuseNextWrite(const std::string& reason) { writeRefusal_ = reason; }

void MemoryPort::stallWrites(bool stalled) {
  stalled_ = stalled;
  if (!stalled_) drain();
}

void MemoryPort::goAway(const std::string& reason) { refusal_ = reason; }

void MemoryPort::comeBack() { refusal_.reset(); }

void MemoryPort::setListener(PortListener* listener) { listener_ = listener; }

Result MemoryPort::open(int port, const LineSettings& settings) {
  if (refusal_) return Result::failure(*refusal_);
  if (open_) return Result::failure("the device is already open");
  open_ = true;
  openedPort_ = port;
  openedSettings_ = settings;
  ++opens_;
  return Result::success();
}

void MemoryPort::close() {
  open_ = false;
  arrived_.clear();
  waiting_.clear();
}

bool MemoryPort::isOpen() const { return open_; }

std::vector<Arrival> MemoryPort::read() {
  std::vector<Arrival> arrivals;
  arrivals.swap(arrived_);
  return arrivals;
}

Result MemoryPort::write(const std::string& bytes) {
  if (!open_) return Result::failure("the device is not open");
  if (writeRefusal_) {
    Result refused = Result::failure(*writeRefusal_);
    writeRefusal_.reset();
    return refused;
  }
  waiting_ += bytes;
  if (writeFailure_) {
    const auto [error, reason] = *writeFailure_;
    writeFailure_.reset();
    if (listener_ != nullptr) listener_->portFailed(error, reason);
  }
  if (!stalled_) drain();
  return Result::success();
}

bool MemoryPort::outputPending() const { return !waiting_.empty(); }

// Nothing here can wait: a stalled device is one whose time ran out.
Result MemoryPort::finishOutput(int timeoutMs) {
  finishBounds_.push_back(timeoutMs);
  if (!stalled_) drain();
  if (waiting_.empty()) return Result::success();
  return Result::failure(notLeftWithin(timeoutMs));
}

void MemoryPort::drain() {
  if (!open_ || waiting_.empty()) return;
  sent_ += waiting_;
  waiting_.clear();
  if (listener_ != nullptr) listener_->portDrained();
}

}  // namespace meterstation
