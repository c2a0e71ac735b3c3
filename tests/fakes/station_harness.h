#pragma once

#include <cstdio>
#include <string>

#include "fakes/fake_clock.h"
#include "fakes/fake_files.h"
#include "fakes/fake_host.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_settings_store.h"
#include "fakes/fake_timer.h"
#include "fakes/fake_window.h"
#include "station/form1.h"

namespace meterstation::testing {

// A whole station over the fakes, wired as the program wires the real
// adapters, with the moves an operator and a processor make.
struct StationHarness {
  FakeWindow window;
  FakeSerialPort serial;
  FakeTimer timer;
  FakeTimer retryTimer;
  FakeClock clock;
  FakeFiles files;
  FakeHost host;
  FakeSettingsStore settings;
  Form1 form{window, serial, timer, retryTimer, clock, files, host, settings};

  // Without `load`, the window's load waits until the test has set up the
  // machine the station starts on.
  explicit StationHarness(bool load = true) {
    window.events = &form;
    serial.events = &form;
    if (load) form.Form_Load();
  }

  std::string workFile(const std::string& name) const { return form.state().workDir + name; }

  // The operator opens the directory and presses Com1.
  void openPort(int port = 1) {
    form.Dir1_Change();
    switch (port) {
      case 1:
        form.Command1_Click();
        break;
      case 2:
        form.Command2_Click();
        break;
      case 3:
        form.Command3_Click();
        break;
      default:
        form.Command4_Click();
        break;
    }
  }

  // Characters arrive; while the port is open the notification restarts
  // the countdown. Returns whether the station heard of them.
  bool arrive(const std::string& text) { return serial.deliver(text); }

  // The line falls quiet for the interval; returns whether a tick came.
  bool quiet() {
    if (!timer.advance(timer.intervalMs > 0 ? timer.intervalMs : 1)) return false;
    form.Timer1_Timer();
    return true;
  }

  // One burst and the silence after it.
  bool burst(const std::string& text) {
    arrive(text);
    return quiet();
  }

  void synchronise() { burst("noise before the first quiet period\r\n"); }

  // The retry timer's period passes; returns whether it ticked.
  bool retryPeriod() {
    if (!retryTimer.advance(retryTimer.intervalMs > 0 ? retryTimer.intervalMs : 1)) return false;
    retryTimer.startedAt = retryTimer.now;  // it stays enabled: periodic
    form.Timer2_Timer();
    return true;
  }
};

// The processor's reading of a meter, 40 characters and CR LF, written
// over `out`: a caller sending thousands keeps one buffer.
inline void readingInto(std::string& out, int meter, int value = 123, int last = 12345) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, "%02d,%03d,04567,12345,089,00012,00345,%05d\r\n",
                              meter, value, last);
  out.assign(buf, static_cast<std::size_t>(n));
}
inline std::string readingOf(int meter, int value = 123, int last = 12345) {
  std::string reading;
  readingInto(reading, meter, value, last);
  return reading;
}

}  // namespace meterstation::testing
