#pragma once

#include <memory>
#include <utility>

#include <QObject>

#include "platform/mqtt/mqtt_plant_feed.h"
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
  // The feed to a site's broker, only with --mqtt: its own files and locks,
  // used by its threads alone, and a receiver for its news that goes
  // after the feed, so nothing it posts at its end lands nowhere.
  QObject plantNews;
  QtHost plantHost;
  DurableFiles plantFiles;
  std::unique_ptr<MqttPlantFeed> plant;

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

  // From now on the station publishes to the broker; before any port is
  // chosen. The messages wait in the user's data directory.
  void attachPlant(const PlantOptions& options, MqttPlantFeed::Setup setup = {}) {
    setup.options = options;
    const std::string data = host.dataDirectory();
    if (setup.storeDir.empty() && !data.empty()) setup.storeDir = data + "/mqtt";
    setup.notify = [this] {
      QMetaObject::invokeMethod(
          &plantNews, [this] { form.Plant_Notice(); }, Qt::QueuedConnection);
    };
    plant = std::make_unique<MqttPlantFeed>(plantFiles, plantHost, std::move(setup));
    form.attachPlantFeed(*plant, options);
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
