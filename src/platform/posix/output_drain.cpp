#include "platform/posix/output_drain.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace meterstation {

struct OutputDrain::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  int running = 0;
  std::function<void()> ended;
};

namespace {

std::string errnoText(int error) { return std::generic_category().message(error); }

void drainTerminal(int fd) {
  // A drain that fails (a device hung up, a pseudo-terminal or an adapter
  // that cannot drain) has nothing more to wait for: what it took is sent
  // or gone.
  while (::tcdrain(fd) != 0 && errno == EINTR) {
  }
}

}  // namespace

OutputDrain::OutputDrain(std::function<void()> ended) : shared_(std::make_shared<Shared>()) {
  shared_->ended = std::move(ended);
}

OutputDrain::~OutputDrain() {
  const std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->ended = nullptr;
}

Result OutputDrain::start(int fd) {
  const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return Result::failure(errnoText(errno));
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    ++shared_->running;
  }
  try {
    std::thread([shared = shared_, copy] {
      drainTerminal(copy);
      ::close(copy);
      const std::lock_guard<std::mutex> lock(shared->mutex);
      --shared->running;
      shared->changed.notify_all();
      if (shared->ended) shared->ended();
    }).detach();
  } catch (const std::system_error& error) {
    ::close(copy);
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    --shared_->running;
    return Result::failure(error.what());
  }
  return Result::success();
}

bool OutputDrain::running() const {
  const std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->running > 0;
}

bool OutputDrain::waitUntilDone(int timeoutMs) {
  std::unique_lock<std::mutex> lock(shared_->mutex);
  return shared_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [this] { return shared_->running == 0; });
}

}  // namespace meterstation
