#pragma once

#include <string>
#include <vector>

#include "platform/serial/port_device.h"

namespace meterstation::testsupport {

// Reads what arrived whenever it is told, as the serial link does, and
// keeps what it was told.
class ReadingListener : public PortListener {
 public:
  explicit ReadingListener(PortDevice& device) : device_(device) { device.setListener(this); }
  void portReadable() override {
    ++readable;
    for (const Arrival& arrival : device_.read()) received += arrival.bytes;
    if (closeWhenReadable) device_.close();
  }
  void portFailed(PortError error, const std::string& reason) override {
    errors.push_back(error);
    reasons.push_back(reason);
    receivedBeforeFailure = received;
  }
  void portDrained() override { ++drained; }

  int readable = 0;
  int drained = 0;
  bool closeWhenReadable = false;
  std::string received;
  std::string receivedBeforeFailure;
  std::vector<PortError> errors;
  std::vector<std::string> reasons;

 private:
  PortDevice& device_;
};

}  // namespace meterstation::testsupport
