#pragma once

namespace meterstation {

// The events the platform raises into the station's window logic. The
// names are those of the window's handlers.
class StationEvents {
 public:
  virtual ~StationEvents() = default;

  virtual void Form_Load() = 0;
  // The window is closing by the operator's hand (not by the stop command).
  virtual void Form_Unload() = 0;
  virtual void Drive1_Change() = 0;
  virtual void Dir1_Change() = 0;
  // The directory list could not open a directory; it stays where it was.
  // A front end without a directory list never raises it.
  virtual void Dir1_ReadError() {}
  virtual void Command1_Click() = 0;
  virtual void Command2_Click() = 0;
  virtual void Command3_Click() = 0;
  virtual void Command4_Click() = 0;
  virtual void Command5_Click() = 0;
  virtual void Command6_Click() = 0;
  virtual void MSComm1_OnComm() = 0;
  virtual void Timer1_Timer() = 0;

  // Beyond the window's own handlers: a control the run's settings are
  // made of changed (Text1, Text3, Text4, Check1, Check2), by the operator
  // or by the station itself.
  virtual void Controls_Change() = 0;
  // The station's own retry timer ran out (waiting lines).
  virtual void Timer2_Timer() = 0;
  // The window closes because the user's session ends (logout, shutdown),
  // not by the operator's hand: the run is still going.
  virtual void Session_End() = 0;
  // The site's broker feed has news for the operator. A station without
  // one never raises it.
  virtual void Plant_Notice() {}
};

}  // namespace meterstation
