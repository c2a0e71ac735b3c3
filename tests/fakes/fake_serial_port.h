#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/serial_port.h"
#include "platform/station_events.h"

namespace meterstation::testing {

// The serial port in memory. Like the real one it notifies the station
// only while it is open: bytes that reach a closed port are lost on the
// line, a lost port reports its loss once and stays silent until it is
// back.
class FakeSerialPort : public SerialPort {
 public:
  int port = 0;
  std::string lineSettings;
  bool open = false;
  bool lost = false;  // failed while open; reopening is being tried
  std::string received;
  std::vector<std::string> sent;
  std::vector<int> opened;  // the port of every successful open
  std::optional<std::string> openFailure;
  std::optional<std::string> outputFailure;
  CommEvent event = CommEvent::Receive;
  std::string eventText;
  StationEvents* events = nullptr;

  // Characters arrive on the line. Returns whether the station heard of
  // them: a closed port never does.
  bool deliver(const std::string& bytes) {
    if (!open) return false;
    received += bytes;
    notify(CommEvent::Receive, {});
    return true;
  }
  // A line-state change or another event of an open port.
  bool raise(CommEvent kind, const std::string& text = {}) {
    if (!open) return false;
    notify(kind, text);
    return true;
  }
  // The open port fails: closed, reported once, reopening from now on.
  bool lose(const std::string& reason) {
    if (!open) return false;
    open = false;
    lost = true;
    notify(CommEvent::PortLost, reason);
    return true;
  }
  // A lost port opens again by itself.
  bool comeBack() {
    if (!lost || openFailure) return false;
    lost = false;
    open = true;
    opened.push_back(port);
    notify(CommEvent::PortBack, {});
    return true;
  }

  void setCommPort(int n) override { port = n; }
  int commPort() const override { return port; }
  void setSettings(const std::string& s) override { lineSettings = s; }
  std::string settings() const override { return lineSettings; }
  bool portOpen() const override { return open; }
  Result setPortOpen(bool on) override {
    lost = false;
    if (on && openFailure) return Result::failure(*openFailure);
    open = on;
    if (on) opened.push_back(port);
    return Result::success();
  }
  void retryOpenUntilBack() override {
    if (!open) lost = true;
  }
  int reopenPeriodMs() const override { return 2000; }
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
  int commEventRetryMs() const override {
    return event == CommEvent::PortLost ? reopenPeriodMs() : 0;
  }

 private:
  void notify(CommEvent kind, const std::string& text) {
    event = kind;
    eventText = text;
    if (events != nullptr) events->MSComm1_OnComm();
    event = CommEvent::Receive;
    eventText.clear();
  }
};

}  // namespace meterstation::testing
