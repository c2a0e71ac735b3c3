#include <QApplication>

#include <cstdio>
#include <cstring>

#include "platform/qt/durable_files.h"
#include "platform/qt/local_clock.h"
#include "platform/qt/qt_host.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_timer.h"
#include "platform/qt/qt_window.h"
#include "station/form1.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("meterstation %s\n", METERSTATION_VERSION);
      return 0;
    }
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName("meterstation");
  QApplication::setApplicationVersion(METERSTATION_VERSION);

  meterstation::QtWindow window;
  meterstation::QtSerialPort serial;
  meterstation::QtTimer timer;
  meterstation::LocalClock clock;
  meterstation::DurableFiles files;
  meterstation::QtHost host;
  meterstation::Form1 form(window, serial, timer, clock, files, host);
  window.bind(form);
  serial.bind(form);
  timer.bind(form);

  form.Form_Load();
  window.show();
  return QApplication::exec();
}
