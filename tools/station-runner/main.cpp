// The real station, built as the program builds it, making the operator's
// moves by itself: it opens the working directory given on the command
// line, types Obs # and Interval (ticks debug, clears vista fix, corrects
// the marker when asked) and presses Com1. Tests start it, kill it
// at any moment and start it again on the same directory. With --resume it
// presses nothing: it takes up the remembered run as `meterstation
// --resume` does, which is what a restart after a crash looks like.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/station_app.h"

namespace {

struct RunnerOptions {
  std::string dir;
  QString obs = QStringLiteral("9999");
  QString interval = QStringLiteral("2000");
  QString marker;  // typed over the one the port choice fills in
  bool debug = false;
  bool noVistaFix = false;
  bool resume = false;
  std::string mqtt;  // a broker to publish to, as meterstation --mqtt
};

bool parse(int argc, char** argv, RunnerOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const char* name = argv[i];
    if (std::strcmp(name, "--resume") == 0) {
      options.resume = true;
      continue;
    }
    if (std::strcmp(name, "--debug") == 0) {
      options.debug = true;
      continue;
    }
    if (std::strcmp(name, "--no-vista-fix") == 0) {
      options.noVistaFix = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    if (std::strcmp(name, "--dir") == 0) {
      options.dir = value;
    } else if (std::strcmp(name, "--obs") == 0) {
      options.obs = QString::fromLatin1(value);
    } else if (std::strcmp(name, "--interval") == 0) {
      options.interval = QString::fromLatin1(value);
    } else if (std::strcmp(name, "--marker") == 0) {
      options.marker = QString::fromLatin1(value);
    } else if (std::strcmp(name, "--mqtt") == 0) {
      options.mqtt = value;
    } else {
      return false;
    }
  }
  return options.resume || !options.dir.empty();
}

// As an operator would once the window is up.
void pressCom1(meterstation::QtWindow& window, const RunnerOptions& options) {
  window.setDirPath(options.dir);
  if (window.dirPath() != options.dir) {
    std::fprintf(stderr, "station-runner: could not open %s\n", options.dir.c_str());
    QApplication::exit(1);
    return;
  }
  window.textBox(meterstation::TextId::Text4)->setText(options.interval);
  window.textBox(meterstation::TextId::Text3)->setText(options.obs);
  if (options.debug) window.checkBox(meterstation::CheckId::Check1)->setChecked(true);
  if (options.noVistaFix) window.checkBox(meterstation::CheckId::Check2)->setChecked(false);
  window.button(meterstation::ButtonId::Command1)->click();
  // As an operator correcting the marker after the port press.
  if (!options.marker.isEmpty())
    window.textBox(meterstation::TextId::Text1)->setText(options.marker);
}

}  // namespace

int main(int argc, char** argv) {
  RunnerOptions options;
  if (!parse(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: station-runner --dir WORKING_DIR [--obs N] [--interval MS]\n"
                 "                      [--marker TEXT] [--debug] [--no-vista-fix] [--mqtt URL]\n"
                 "       station-runner --resume\n"
                 "Port 1 is the device named by METERSTATION_COM1. With --resume the\n"
                 "other options are not used.\n");
    return 2;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName("meterstation");

  meterstation::StationApp station;
  station.start();
  if (!options.mqtt.empty()) {
    meterstation::PlantOptions plant;
    plant.url = options.mqtt;
    station.attachPlant(plant);
  }
  QTimer::singleShot(0, &station.window, [&] {
    if (options.resume) {
      station.startResume();
    } else {
      pressCom1(station.window, options);
    }
  });
  return QApplication::exec();
}
