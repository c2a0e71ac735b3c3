#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/serial_port.h"

namespace meterstation::testing {

class FakeSerialPort : public SerialPort {
 public:
  int port = 0;
  std::string lineSettings;
  bool open = false;
  std::string received;
  std::vector<std::string> sent;
  std::vector<int> opened;  // the port of every successful open
  std::optional<std::string> openFailure;
  std::optional<std::string> outputFailure;
  CommEvent event = CommEvent::Receive;
  std::string eventText;

  void setCommPort(int n) override { port = n; }
  int commPort() const override { return port; }
  void setSettings(const std::string& s) override { lineSettings = s; }
  std::string settings() const override { return lineSettings; }
  bool portOpen() const override { return open; }
  Result setPortOpen(bool on) override {
    if (on && openFailure) return Result::failure(*openFailure);
    open = on;
    if (on) opened.push_back(port);
    return Result::success();
  }
  std::string input() override {
    std::string out;
    out.swap(received);
    return out;
  }
  Result output(const std::string& bytes) override {
    if (outputFailure) return Result::failure(*outputFailure);
    sent.push_back(bytes);
    return Result::success();
  }
  CommEvent commEvent() const override { return event; }
  std::string commEventText() const override { return eventText; }
};

}  // namespace meterstation::testing
