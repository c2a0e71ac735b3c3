#pragma once

#include <string>
#include <vector>

#include "platform/instant.h"
#include "platform/result.h"
#include "platform/serial/line_settings.h"

namespace meterstation {

// What a device can report going wrong. The device only names it; which
// ones lose the port is the serial link's decision.
enum class PortError {
  DeviceNotFound,
  PermissionDenied,
  OpenFailed,
  NotOpen,
  Write,
  Read,
  Resource,
  UnsupportedOperation,
  Timeout,
  Unknown,
};

// Bytes as they came off the line, with the moment they were read. A device
// reads and stamps them as they arrive, whatever the event thread is doing:
// readings are cut at the silences between these stamps.
struct Arrival {
  Instant at;
  std::string bytes;
};

// What a device tells the serial link, on the event thread. A device may
// call it from inside its own notifier, even from inside a call the link
// made; the link copes.
class PortListener {
 public:
  // Bytes arrived and can be read.
  virtual void portReadable() = 0;
  virtual void portFailed(PortError error, const std::string& reason) = 0;
  // Everything written so far has left the device.
  virtual void portDrained() = 0;

 protected:
  ~PortListener() = default;
};

// One serial device, as little of it as the serial link needs: open and
// close, the bytes that arrived, bytes to send and whether they have gone.
class PortDevice {
 public:
  virtual ~PortDevice() = default;

  virtual void setListener(PortListener* listener) = 0;

  // Opens the device that port N (1 to 4) names, with these settings. What
  // goes wrong while opening is the result, never a portFailed.
  virtual Result open(int port, const LineSettings& settings) = 0;
  // Closes at once: output that has not left is dropped.
  virtual void close() = 0;
  virtual bool isOpen() const = 0;

  // Every chunk that arrived and has not been read, oldest first.
  virtual std::vector<Arrival> read() = 0;
  // Hands the bytes to the device and returns without waiting for the line;
  // portDrained follows once they, and all written before, have left.
  virtual Result write(const std::string& bytes) = 0;
  virtual bool outputPending() const = 0;
  // For the end of the program, when no handler is left to hold up: waits
  // at most timeoutMs for the output to leave.
  virtual Result finishOutput(int timeoutMs) = 0;
};

// What is said of output still in a device when its time ran out.
inline std::string notLeftWithin(int timeoutMs) {
  return "the bytes did not leave the port within " + std::to_string(timeoutMs) + " ms";
}

}  // namespace meterstation
