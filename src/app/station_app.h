#pragma once

#include "platform/qt/durable_files.h"
#include "platform/qt/local_clock.h"
#include "platform/qt/qt_host.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_timer.h"
#include "platform/qt/qt_window.h"
#include "station/form1.h"

namespace meterstation {

// The station as the program puts it together: the real adapters, and the
// window's logic bound to their events. The program, the runner the
// crash tests kill and the end-to-end tests all build it this one way.
struct StationApp {
  QtWindow window;
  QtSerialPort serial;
  QtTimer timer;
  LocalClock clock;
  DurableFiles files;
  QtHost host;
  Form1 form{window, serial, timer, clock, files, host};

  StationApp() {
    window.bind(form);
    serial.bind(form);
    timer.bind(form);
  }
  StationApp(const StationApp&) = delete;
  StationApp& operator=(const StationApp&) = delete;

  void start() {
    form.Form_Load();
    window.show();
  }
};

}  // namespace meterstation
