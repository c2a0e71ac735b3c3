#include "platform/win32/win32_port_reader.h"

#include <string>
#include <system_error>

#include "platform/win32/win32_error.h"

namespace meterstation {

Win32PortReader::Win32PortReader(HANDLE port, PortNews& news) : port_(port), news_(news) {}

Win32PortReader::~Win32PortReader() {
  if (stop_.valid()) SetEvent(stop_.get());
  if (thread_.joinable()) thread_.join();
}

Result Win32PortReader::start() {
  stop_ = OwnedHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  readDone_ = OwnedHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!stop_.valid() || !readDone_.valid()) return lastErrorFailure();
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error& error) {
    return Result::failure(error.what());
  }
  return Result::success();
}

// Overlapped, so that writes go on meanwhile: on a handle opened without
// it, Windows lets one operation at a time through, and a read would
// wait behind every write for as long as the line takes to carry it.
void Win32PortReader::run() {
  char buffer[4096];
  for (;;) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = readDone_.get();
    const BOOL started = ReadFile(port_, buffer, sizeof buffer, nullptr, &overlapped);
    const IoOutcome read = awaitIo(port_, overlapped, stop_.get(), started);
    if (read.stopped) return;
    // Windows ends a read whose time ran out as a success, Wine with
    // ERROR_TIMEOUT; either way it is a quiet line.
    if (read.error != 0 && read.error != ERROR_TIMEOUT) {
      news_.fail(commFailure(read.error, PortError::Read));
      return;
    }
    if (read.bytes > 0) news_.queue(std::string(buffer, read.bytes));
  }
}

}  // namespace meterstation
