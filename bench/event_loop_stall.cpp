// The longest time the event thread is busy in one go while readings arrive
// and sets are written with synced files, with a million items already in
// each list. A stall only delays readings: they are cut on arrival stamps.
#include <unistd.h>
#include <QApplication>
#include <QMetaObject>
#include <QTimer>

#include <cstdio>
#include <thread>

#include "bench/station_rig.h"
#include "platform/qt/station_list_view.h"

using namespace meterstation;
using namespace meterstation::bench;

int main(int argc, char** argv) {
  const bool quick = hasFlag(argc, argv, "--quick");
  const int sets = quick ? 2 : 5;
  const long prefill = optionValue(argc, argv, "--items", 1000000);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  StationRig rig(200);
  const std::string filler(42, 'x');
  for (long i = 0; i < prefill; ++i) {
    rig.window.addItem(ListId::List1, filler);
    rig.window.addItem(ListId::List2, filler);
  }
  // The lists keep their texts in a file the kernel writes out in the
  // background. A station a year old wrote its texts out long ago, a few
  // kilobytes at a time; the prefill makes them all at once, and their
  // writing out would stand in the way of the sets' syncs.
  sync();
  if (!rig.start()) {
    std::fprintf(stderr, "event_loop_stall: %s\n", rig.error().c_str());
    return 1;
  }

  // A heartbeat that measures its own gaps: any gap beyond its period is
  // time the event thread spent elsewhere.
  double longestGap = 0;
  bool measuring = false;
  auto last = SteadyClock::now();
  QTimer heartbeat;
  heartbeat.setTimerType(Qt::PreciseTimer);
  heartbeat.setInterval(1);
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    const auto now = SteadyClock::now();
    if (measuring) longestGap = std::max(longestGap, millisBetween(last, now));
    last = now;
  });
  heartbeat.start();

  std::thread writer([&] {
    rig.pty.write("noise before the first quiet period\r\n");
    waitForTicks(rig, 1, 10000);
    QMetaObject::invokeMethod(
        &app,
        [&] {
          measuring = true;
          last = SteadyClock::now();
        },
        Qt::BlockingQueuedConnection);
    for (int i = 0; i < sets * 16; ++i) {
      sleepMillis(30);
      rig.pty.write(readingOf(i % 16 + 1, i));
      waitForTicks(rig, i + 2, 10000);
    }
    sleepMillis(50);
    QMetaObject::invokeMethod(
        &app, [] { QApplication::quit(); }, Qt::QueuedConnection);
  });
  QApplication::exec();
  writer.join();

  const auto written = rig.form.state().obsCount;
  char value[200];
  std::snprintf(value, sizeof value,
                "%.2f ms (longest handler %s %.2f ms, %.2f ms of it in files; %lld sets)",
                longestGap, rig.events.longestHandler.c_str(), rig.events.longestHandlerMs,
                rig.events.longestHandlerFilesMs, static_cast<long long>(written));
  printRow("longest event-loop stall (" + std::to_string(prefill) + " items in each list)", value,
           "<= 20 ms", longestGap <= 20.0 && written == sets);
  return 0;
}
