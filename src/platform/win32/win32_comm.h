#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "platform/result.h"
#include "platform/serial/line_settings.h"
#include "platform/serial/port_device.h"
#include "platform/serial/port_news.h"

namespace meterstation {

// A kernel object's handle, closed when it goes.
class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  OwnedHandle(OwnedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  OwnedHandle& operator=(OwnedHandle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  ~OwnedHandle() { reset(); }

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  void reset() {
    if (valid()) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

// A communications port open for overlapped reads and writes, and the
// station's claim on its name.
struct CommPort {
  OwnedHandle claim;
  OwnedHandle handle;
};

// Opens COM<port> with these settings, raw and without flow control. What
// goes wrong is the system's text for it.
Result openCommPort(int port, const LineSettings& settings, CommPort& opened);

// A device that is gone fails every call with one of a few codes; the rest
// are the operation's own failure.
PortFailure commFailure(DWORD error, PortError otherwise);

// How an overlapped read or write ended: stopped when the stop event came
// first (the operation is then cancelled and waited for), else its count
// and its error (0 when it succeeded).
struct IoOutcome {
  bool stopped = false;
  DWORD bytes = 0;
  DWORD error = 0;
};

// Waits for an operation just started on port with overlapped (started is
// what ReadFile or WriteFile returned), or for stop.
IoOutcome awaitIo(HANDLE port, OVERLAPPED& overlapped, HANDLE stop, BOOL started);

}  // namespace meterstation
