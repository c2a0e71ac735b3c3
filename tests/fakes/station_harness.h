#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>

#include "fakes/fake_clock.h"
#include "fakes/fake_files.h"
#include "fakes/fake_host.h"
#include "fakes/fake_settings_store.h"
#include "fakes/fake_timer.h"
#include "fakes/fake_window.h"
#include "platform/serial/memory_port.h"
#include "platform/serial/serial_link.h"
#include "station/form1.h"
#include "station/port_buttons.h"
#include "support/step_scheduler.h"

namespace meterstation::testing {

// A whole station over the fakes, wired as the program wires the real
// adapters: the real serial link over a port in memory, on an event loop
// with a virtual clock, so the station is tested over the link it runs on.
// With the moves an operator and a processor make. The files are the fake
// ones, or the real adapter where that is under test.
template <class FilesType>
struct BasicStation {
  testsupport::StepScheduler turns;
  MemoryPort device;
  SerialLink serial{device, turns};
  Timer& timer = serial.quietTimer();
  FakeWindow window;
  FakeTimer retryTimer;
  FakeClock clock;
  FilesType files;
  FakeHost host;
  FakeSettingsStore settings;
  Form1 form{window, serial, timer, retryTimer, clock, files, host, settings};

  // Without `load`, the window's load waits until the test has set up the
  // machine the station starts on.
  template <class... FilesArgs>
  explicit BasicStation(bool load = true, FilesArgs&&... filesArgs)
      : files(std::forward<FilesArgs>(filesArgs)...) {
    device.setClock([this] { return turns.now(); });
    window.events = &form;
    serial.bind(form);
    if (load) form.Form_Load();
  }
  BasicStation(const BasicStation&) = delete;
  BasicStation& operator=(const BasicStation&) = delete;

  std::string workFile(const std::string& name) const { return form.state().workDir + name; }

  // The operator opens the directory and presses the port's button.
  void openPort(int port = 1) {
    form.Dir1_Change();
    clickPortButton(form, port);
  }

  // Characters arrive now; while the port is open the notification
  // restarts the countdown. Returns whether the station heard of them.
  bool arrive(const std::string& text) { return device.deliver(text); }

  // The line falls quiet for the interval; returns whether a tick came.
  bool quiet() {
    const int ticks = form.state().tickCount;
    turns.pass(std::chrono::milliseconds(std::max(timer.interval(), 1)));
    return form.state().tickCount != ticks;
  }

  // One burst and the silence after it.
  bool burst(const std::string& text) {
    arrive(text);
    return quiet();
  }

  void synchronise() { burst("noise before the first quiet period\r\n"); }

  // The open port fails for good; the link closes it on its next turn.
  bool losePort(const std::string& reason) {
    if (!device.raise(PortError::Resource, reason)) return false;
    turns.runPosted();
    return true;
  }
  // The device is there again and the link's next reopening finds it.
  bool portBack() {
    device.comeBack();
    if (!turns.repeating()) return false;
    turns.passPeriod();
    return serial.portOpen();
  }

  // The retry timer's period passes; returns whether it ticked.
  bool retryPeriod() {
    if (!retryTimer.advance(retryTimer.intervalMs > 0 ? retryTimer.intervalMs : 1)) return false;
    retryTimer.startedAt = retryTimer.now;  // it stays enabled: periodic
    form.Timer2_Timer();
    return true;
  }
};

using StationHarness = BasicStation<FakeFiles>;

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
