#pragma once

#include <string>

#include "platform/result.h"

namespace meterstation {

// What the notification being delivered reports. The station restarts its
// quiet-period timer on every kind alike; the kinds only add status lines.
enum class CommEvent {
  Receive,        // characters arrived
  Other,          // a line-state change or another event of the port
  PortLost,       // the open port failed and was closed; reopening is tried
  PortBack,       // a lost port was opened again
  OutputStalled,  // written bytes did not leave the open port within their time
};

// The one serial port, in the shape of the serial control the station was
// built around. The notification is delivered by calling MSComm1_OnComm.
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Port 1 to 4; set only while the port is closed.
  virtual void setCommPort(int port) = 0;
  virtual int commPort() const = 0;
  // "baud,parity,data,stop", applied at the next open.
  virtual void setSettings(const std::string& settings) = 0;
  virtual std::string settings() const = 0;

  virtual bool portOpen() const = 0;
  // Opening uses the port and settings set last. Closing also ends any
  // attempts to reopen a lost port.
  virtual Result setPortOpen(bool open) = 0;
  // After a failed open: keeps trying to open the port as for a lost one,
  // and notifies PortBack once it is open.
  virtual void retryOpenUntilBack() = 0;
  // How often a port that is not open is tried again, after a loss or
  // retryOpenUntilBack.
  virtual int reopenPeriodMs() const = 0;

  // Every character received and not yet read; empties the receive buffer.
  virtual std::string input() = 0;
  // Sends the text as bytes, one byte a character, in order.
  virtual Result output(const std::string& bytes) = 0;

  // The kind of the notification being delivered, and its text (the
  // system's reason for a lost port).
  virtual CommEvent commEvent() const = 0;
  virtual std::string commEventText() const = 0;
  // With PortLost: how often, in milliseconds, the port is tried again from
  // now on; the station says so with the loss. 0 with the other kinds.
  virtual int commEventRetryMs() const = 0;
};

}  // namespace meterstation
