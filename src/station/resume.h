#pragma once

#include "platform/files.h"
#include "platform/host.h"
#include "platform/serial_port.h"
#include "platform/settings_store.h"
#include "platform/timer.h"
#include "platform/window_controls.h"
#include "station/form1.h"

namespace meterstation {

// Takes up a remembered run with no one at the window: restores the
// controls and makes the port choice through the same handlers an
// operator's click runs, so everything after it is as on any start.
class Resume {
 public:
  static constexpr int kDirectoryRetryMs = 10000;

  Resume(Form1& form, WindowControls& window, SettingsStore& store, Files& files, Host& host,
         SerialPort& serial, Timer& timer);

  // Once the window is up. Says "nothing to resume" when no run is going.
  void start();
  // The directory retry timer ran out: a working directory that was not
  // there yet (a disk mounted late) is looked at again.
  void Timer_Tick();

  bool waitingForDirectory() const { return waiting_; }

 private:
  void tryDirectory();
  std::string dirListPath() const;
  void choosePort();

  Form1& form_;
  WindowControls& window_;
  SettingsStore& store_;
  Files& files_;
  Host& host_;
  SerialPort& serial_;
  Timer& timer_;
  RunSettings run_;
  bool waiting_ = false;
};

}  // namespace meterstation
