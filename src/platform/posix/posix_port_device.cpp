#include "platform/posix/posix_port_device.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform/posix/tty_device.h"
#include "platform/posix/tty_line.h"

namespace meterstation {

namespace {

int openTerminal(const std::string& device, int access) {
  return ::open(device.c_str(), access | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

}  // namespace

PosixPortDevice::PosixPortDevice(EventThreadPost toEventThread)
    : notifier_(std::move(toEventThread)) {}

PosixPortDevice::~PosixPortDevice() {
  notifier_.setListener(nullptr);
  closePort();
}

void PosixPortDevice::setListener(PortListener* listener) { notifier_.setListener(listener); }

Result PosixPortDevice::open(int port, const LineSettings& settings) {
  closePort();
  const std::string device = serialDeviceName(port);
  fd_ = openTerminal(device, O_RDWR);
  if (fd_ < 0) {
    const int error = errno;
    return Result::failure(std::strerror(error) + openRefusalHint(device));
  }
  if (const Result taken = takeLine(device, settings); !taken) {
    closePort();
    return taken;
  }
  notifier_.opened();
  drain_ = std::make_unique<OutputDrain>(notifier_.poster([this] { drainEnded(); }));
  news_ = std::make_unique<PortNews>(notifier_.poster([this] { notifier_.deliverNews(*news_); }));
  reader_ = std::make_unique<PortReader>(fd_, *news_, notifier_.poster([this] { handedOver(); }));
  if (const Result started = reader_->start(); !started) {
    closePort();
    return started;
  }
  return Result::success();
}

// Another station, or any program that locks a device the same way, is
// refused while it holds the port, root or not; the kernel lets the lock
// go with the process, so a station that was killed leaves none behind.
// The lock is on a descriptor of its own: a drain still running after a
// close keeps a copy of the port's, and the port must be free at once.
Result PosixPortDevice::takeLine(const std::string& device, const LineSettings& settings) {
  lockFd_ = openTerminal(device, O_RDONLY);
  if (lockFd_ < 0) return Result::failure(std::strerror(errno));
  if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
    return Result::failure(std::strerror(errno == EWOULDBLOCK ? EBUSY : errno));
  }
  // Whoever does not lock is kept out by the terminal, unless root.
  if (::ioctl(fd_, TIOCEXCL) != 0) return Result::failure(std::strerror(errno));
  if (const Result set = applyLineSettings(fd_, settings); !set) return set;
  // Pseudo-terminals and some adapters have no modem lines; that is no
  // reason to refuse the port, so failures here are ignored.
  const int lines = TIOCM_DTR | TIOCM_RTS;
  (void)::ioctl(fd_, TIOCMBIS, &lines);
  return Result::success();
}

void PosixPortDevice::close() { closePort(); }

void PosixPortDevice::closePort() {
  outputPending_ = false;
  handingOver_ = false;
  notifier_.closed();
  drain_.reset();
  // Waits for the reader's thread, which never waits for this one.
  reader_.reset();
  news_.reset();
  if (fd_ >= 0) {
    // Left set, the flag would refuse this user's next open for as long
    // as a drain still holds the terminal.
    (void)::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
  }
  if (lockFd_ >= 0) ::close(lockFd_);
  fd_ = -1;
  lockFd_ = -1;
}

bool PosixPortDevice::isOpen() const { return reader_ != nullptr; }

std::vector<Arrival> PosixPortDevice::read() {
  if (!news_) return {};
  return news_->takeArrivals();
}

Result PosixPortDevice::write(const std::string& bytes) {
  if (!reader_) return Result::failure("the device is not open");
  if (const Result written = reader_->write(bytes); !written) return written;
  outputPending_ = true;
  if (reader_->holdsOutput()) {
    handingOver_ = true;
  } else {
    startDrain();
  }
  return Result::success();
}

bool PosixPortDevice::outputPending() const { return outputPending_; }

Result PosixPortDevice::finishOutput(int timeoutMs) {
  if (!reader_) return Result::success();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  if (!reader_->waitUntilHandedOver(deadline)) return Result::failure(notLeftWithin(timeoutMs));
  if (const auto failure = news_->failure(); failure && outputPending_) {
    return Result::failure(failure->reason);
  }
  // The reader's word that the output was handed over waits on the event
  // thread, which is here.
  if (handingOver_) {
    handingOver_ = false;
    startDrain();
  }
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  if (!drain_->waitUntilDone(static_cast<int>(std::max<long long>(left.count(), 0)))) {
    return Result::failure(notLeftWithin(timeoutMs));
  }
  return Result::success();
}

void PosixPortDevice::handedOver() {
  if (!handingOver_) return;
  handingOver_ = false;
  startDrain();
}

void PosixPortDevice::startDrain() {
  // A drain that cannot start leaves nothing to wait for.
  if (!drain_->start(fd_)) notifier_.poster([this] { drainEnded(); })();
}

void PosixPortDevice::drainEnded() {
  if (!outputPending_ || handingOver_ || drain_->running()) return;
  outputPending_ = false;
  notifier_.tellDrained();
}

}  // namespace meterstation
