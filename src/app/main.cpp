#include <QApplication>

#include <cstdio>
#include <cstring>

#include "app/station_app.h"

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

  meterstation::StationApp station;
  station.start();
  return QApplication::exec();
}
