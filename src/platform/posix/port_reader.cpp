#include "platform/posix/port_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "platform/posix/thread_slice.h"
#include "platform/posix/tty_device.h"

namespace meterstation {

namespace {

const char* const kHungUp = "the device hung up";

}  // namespace

PortReader::PortReader(int fd, PortNews& news, std::function<void()> postHandedOver)
    : fd_(fd), news_(news), postHandedOver_(std::move(postHandedOver)) {}

PortReader::~PortReader() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake();
  if (thread_.joinable()) thread_.join();
  if (wakeRead_ >= 0) ::close(wakeRead_);
  if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

Result PortReader::start() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return Result::failure(std::strerror(errno));
  wakeRead_ = ends[0];
  wakeWrite_ = ends[1];
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error& error) {
    return Result::failure(error.what());
  }
  return Result::success();
}

void PortReader::run() {
  // The stamps are as true as this thread is prompt to wake; a kernel that
  // refuses the short slice leaves the ordinary one, which still works.
  (void)requestShortSlice();
  for (;;) {
    short events = POLLIN;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return;
      if (!held_.empty()) events |= POLLOUT;
    }
    pollfd watched[2] = {{fd_, events, 0}, {wakeRead_, POLLIN, 0}};
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      fail({PortError::Resource, std::strerror(errno)});
      return;
    }
    if (watched[1].revents != 0) emptyWakePipe();
    const short seen = watched[0].revents;
    if ((seen & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0 && !readOnce(seen)) return;
    if ((seen & POLLOUT) != 0 && !writeHeld()) return;
  }
}

// One read a wake-up: at 300 baud a chunk is a byte or two, and each gets
// the moment it came.
bool PortReader::readOnce(short events) {
  char buffer[4096];
  const ssize_t got = ::read(fd_, buffer, sizeof buffer);
  if (got > 0) {
    news_.queue(std::string(buffer, static_cast<std::size_t>(got)));
    return true;
  }
  const int error = got < 0 ? errno : 0;
  if (error == EINTR) return true;
  // A terminal that is hung up may say "try again" for ever.
  if (error == EAGAIN && (events & (POLLHUP | POLLERR)) == 0) return true;
  // A raw terminal reads nothing only once its other end has gone.
  fail(got == 0 ? PortFailure{PortError::Resource, kHungUp} : lineFailure(PortError::Read, error));
  return false;
}

bool PortReader::writeHeld() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (held_.empty()) return true;
  const ssize_t taken = ::write(fd_, held_.data(), held_.size());
  if (taken < 0) {
    const int error = errno;
    if (error == EINTR || error == EAGAIN) return true;
    lock.unlock();
    fail(lineFailure(PortError::Write, error));
    return false;
  }
  held_.erase(0, static_cast<std::size_t>(taken));
  if (!held_.empty()) return true;
  lock.unlock();
  handedOver_.notify_all();
  postHandedOver_();
  return true;
}

// Output held when the line fails will never leave: it goes, so that no
// one waits for it. The failure goes into the news first: a write either
// sees it and refuses, or holds its bytes before they are cleared here.
void PortReader::fail(PortFailure failure) {
  news_.fail(std::move(failure));
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    held_.clear();
  }
  handedOver_.notify_all();
}

// A hung-up terminal fails reads and writes with whatever errno; the
// terminal itself tells.
PortFailure PortReader::lineFailure(PortError error, int errorNumber) const {
  if (terminalHungUp(fd_)) return {PortError::Resource, kHungUp};
  return {error, std::strerror(errorNumber)};
}

Result PortReader::write(const std::string& bytes) {
  bool heldBefore = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (const auto failure = news_.failure()) return Result::failure(failure->reason);
    std::size_t taken = 0;
    heldBefore = !held_.empty();
    // Behind held output the bytes wait their turn.
    if (!heldBefore) {
      ssize_t written = 0;
      do {
        written = ::write(fd_, bytes.data(), bytes.size());
      } while (written < 0 && errno == EINTR);
      if (written < 0 && errno != EAGAIN) return Result::failure(std::strerror(errno));
      taken = written > 0 ? static_cast<std::size_t>(written) : 0;
    }
    if (taken == bytes.size()) return Result::success();
    held_.append(bytes, taken);
  }
  // The thread now has output to wait for as well.
  if (!heldBefore) wake();
  return Result::success();
}

bool PortReader::holdsOutput() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return !held_.empty();
}

bool PortReader::waitUntilHandedOver(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(mutex_);
  return handedOver_.wait_until(lock, deadline, [this] { return held_.empty(); });
}

void PortReader::wake() {
  if (wakeWrite_ < 0) return;
  // A full pipe already wakes the thread.
  const char nudge = 0;
  (void)!::write(wakeWrite_, &nudge, 1);
}

void PortReader::emptyWakePipe() {
  char nudges[64];
  while (::read(wakeRead_, nudges, sizeof nudges) > 0) {
  }
}

}  // namespace meterstation
