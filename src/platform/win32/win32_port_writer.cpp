#include "platform/win32/win32_port_writer.h"

#include <system_error>
#include <utility>

#include "platform/win32/win32_error.h"

namespace meterstation {

Win32PortWriter::Win32PortWriter(HANDLE port, PortNews& news, std::function<void()> postIdle)
    : port_(port), news_(news), postIdle_(std::move(postIdle)) {}

Win32PortWriter::~Win32PortWriter() {
  if (stop_.valid()) SetEvent(stop_.get());
  // A flush waits for the line and hears no stop event: dropping what the
  // port still holds ends it on Windows; a pseudo-terminal under Wine
  // flushes at once anyway.
  (void)PurgeComm(port_, PURGE_TXABORT | PURGE_TXCLEAR);
  (void)CancelIoEx(port_, nullptr);
  if (thread_.joinable()) thread_.join();
}

Result Win32PortWriter::start() {
  stop_ = OwnedHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  work_ = OwnedHandle(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  writeDone_ = OwnedHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!stop_.valid() || !work_.valid() || !writeDone_.valid()) return lastErrorFailure();
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error& error) {
    return Result::failure(error.what());
  }
  return Result::success();
}

void Win32PortWriter::write(const std::string& bytes) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (failed_) return;
    queued_ += bytes;
  }
  SetEvent(work_.get());
}

bool Win32PortWriter::idle() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return idleLocked();
}

bool Win32PortWriter::waitUntilIdle(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_until(lock, deadline, [this] { return idleLocked() || failed_; });
}

void Win32PortWriter::run() {
  for (;;) {
    std::string chunk;
    switch (nextStep(chunk)) {
      case Step::Write:
        if (!writeAll(chunk)) return;
        break;
      case Step::Flush:
        // A port that cannot flush has nothing more to wait for: what it
        // took is sent or gone.
        (void)FlushFileBuffers(port_);
        flushed();
        break;
      case Step::Wait: {
        const HANDLE waits[2] = {stop_.get(), work_.get()};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
        break;
      }
    }
    if (WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0) return;
  }
}

// Everything queued goes in one write; the flush waits until no more is.
Win32PortWriter::Step Win32PortWriter::nextStep(std::string& chunk) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!queued_.empty()) {
    chunk.swap(queued_);
    busy_ = true;
    return Step::Write;
  }
  if (unflushed_) {
    unflushed_ = false;
    busy_ = true;
    return Step::Flush;
  }
  return Step::Wait;
}

// Output that will never leave goes, so that no one waits for it.
bool Win32PortWriter::writeAll(const std::string& chunk) {
  for (std::size_t sent = 0; sent < chunk.size();) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = writeDone_.get();
    const BOOL started = WriteFile(port_, chunk.data() + sent,
                                   static_cast<DWORD>(chunk.size() - sent), nullptr, &overlapped);
    IoOutcome written = awaitIo(port_, overlapped, stop_.get(), started);
    if (written.stopped) return false;
    // With no write timeout a write takes all or fails; nothing taken
    // without a reason is a fault all the same.
    if (written.error == 0 && written.bytes == 0) written.error = ERROR_WRITE_FAULT;
    if (written.error != 0) {
      news_.fail(commFailure(written.error, PortError::Write));
      const std::lock_guard<std::mutex> lock(mutex_);
      queued_.clear();
      busy_ = unflushed_ = false;
      failed_ = true;
      changed_.notify_all();
      return false;
    }
    sent += written.bytes;
  }
  const std::lock_guard<std::mutex> lock(mutex_);
  busy_ = false;
  unflushed_ = true;
  return true;
}

void Win32PortWriter::flushed() {
  bool nowIdle = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    busy_ = false;
    nowIdle = idleLocked();
  }
  if (!nowIdle) return;
  changed_.notify_all();
  postIdle_();
}

}  // namespace meterstation
