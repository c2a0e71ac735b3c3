#pragma once

#include <memory>
#include <utility>

#include "platform/posix/durable_files.h"
#include "platform/posix/local_clock.h"
#include "platform/qt/qt_host.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_settings_store.h"
#include "platform/qt/qt_timer.h"
#include "platform/qt/qt_window.h"
#include "station/form1.h"
#include "station/resume.h"

namespace meterstation {

// The station as the program puts it together: the real adapters, and the
// window's logic bound to their events. The program, the runner the
// crash tests kill and the end-to-end tests all build it this one way.
struct StationApp {
  QtWindow window;
  QtSerialPort serial;
  QtTimer retryTimer;  // waiting lines are tried again
  LocalClock clock;
  DurableFiles files;
  QtHost host;
  QtSettingsStore settings;
  Form1 form{window, serial, serial.quietTimer(), retryTimer, clock, files, host, settings};
  QtTimer resumeTimer;  // a working directory not there yet is looked for again
  std::unique_ptr<Resume> resume;

  // The files' system calls are the machine's own, unless a test puts a
  // slow or failing disk in their place.
  explicit StationApp(FileSystemCalls calls = FileSystemCalls::real()) : files(std::move(calls)) {
    window.bind(form);
    serial.bind(form);
    retryTimer.bind(form, &StationEvents::Timer2_Timer);
  }
  StationApp(const StationApp&) = delete;
  StationApp& operator=(const StationApp&) = delete;

  void start() {
    form.Form_Load();
    window.show();
  }

  // Takes up the remembered run, once the window is up; a second call
  // does nothing.
  void startResume() {
    if (resume) return;
    resume = std::make_unique<Resume>(form, window, settings, files, host, serial, resumeTimer);
    resumeTimer.bindTick([this] { resume->Timer_Tick(); });
    resume->start();
  }
};

}  // namespace meterstation
