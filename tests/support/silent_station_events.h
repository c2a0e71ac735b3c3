#pragma once

#include "platform/station_events.h"

namespace meterstation::testsupport {

// The station's handlers, each doing nothing: a test's recorder derives
// from it and overrides only the handlers it records.
class SilentStationEvents : public StationEvents {
 public:
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
  void MSComm1_OnComm() override {}
  void Timer1_Timer() override {}
  void Controls_Change() override {}
  void Timer2_Timer() override {}
  void Session_End() override {}
};

}  // namespace meterstation::testsupport
