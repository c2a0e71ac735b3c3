#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/serial_port.h"
#include "platform/station_events.h"

namespace meterstation::testing {

// Records what each notification of a port reported, as the station would
// read it; the station's other handlers do nothing.
class CommLog : public StationEvents {
 public:
  explicit CommLog(SerialPort& port) : port_(port) {}
  int count(CommEvent kind) const {
    return static_cast<int>(std::count(kinds.begin(), kinds.end(), kind));
  }

  void MSComm1_OnComm() override {
    kinds.push_back(port_.commEvent());
    texts.push_back(port_.commEventText());
    retryMs.push_back(port_.commEventRetryMs());
  }
  void Form_Load() override {}
  void Form_Unload() override {}
  void Drive1_Change() override {}
  void Dir1_Change() override {}
  void Command1_Click() override {}
  void Command2_Click() override {}
  void Command3_Click() override {}
  void Command4_Click() override {}
  void Command5_Click() override {}
  void Command6_Click() override {}
  void Timer1_Timer() override {}
  void Controls_Change() override {}
  void Timer2_Timer() override {}
  void Session_End() override {}

  std::vector<CommEvent> kinds;
  std::vector<std::string> texts;
  std::vector<int> retryMs;

 private:
  SerialPort& port_;
};

}  // namespace meterstation::testing
