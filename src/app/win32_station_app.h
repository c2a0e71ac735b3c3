#pragma once

#include <memory>

#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_durable_files.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_serial_port.h"
#include "platform/win32/win32_settings_store.h"
#include "platform/win32/win32_timer.h"
#include "platform/win32/win32_window.h"
#include "station/form1.h"
#include "station/resume.h"

namespace meterstation {

// The station as the Windows program puts it together: the Win32 adapters,
// and the window's logic bound to their events, as StationApp does on Qt.
struct Win32StationApp {
  Win32Window window;
  Win32SerialPort serial;
  Win32Timer retryTimer;  // waiting lines are tried again
  Win32Clock clock;
  Win32DurableFiles files;
  Win32Host host;
  Win32SettingsStore settings;
  Form1 form{window, serial, serial.quietTimer(), retryTimer, clock, files, host, settings};
  Win32Timer resumeTimer;  // a working directory not there yet is looked for again
  std::unique_ptr<Resume> resume;

  Win32StationApp() {
    window.bind(form);
    serial.bind(form);
    retryTimer.bind(form, &StationEvents::Timer2_Timer);
  }
  Win32StationApp(const Win32StationApp&) = delete;
  Win32StationApp& operator=(const Win32StationApp&) = delete;

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
