#pragma once

#include "platform/countdown_timer.h"
#include "platform/win32/message_window.h"

namespace meterstation {

// A station timer on the thread's message loop: the retry of waiting lines
// and the look for a working directory that is not there yet. (The quiet
// period is kept by the serial link, on the stamps of the arrivals.)
class Win32Timer : public CountdownTimer {
 protected:
  void armOneShot(int milliseconds) override;
  void disarm() override;
  bool armed() const override;

 private:
  MessageWindow window_;
};

}  // namespace meterstation
