// How late the quiet-period tick comes after a reading's last byte, beyond
// the interval itself. A tick that comes too late merges the reading with
// the next one at 25,000 readings a day.
#include <QApplication>
#include <QMetaObject>

#include <cstdio>
#include <memory>
#include <random>
#include <thread>

#include "bench/station_rig.h"

using namespace meterstation;
using namespace meterstation::bench;

int main(int argc, char** argv) {
  const int interval = static_cast<int>(optionValue(argc, argv, "--interval", 200));
  const bool quick = hasFlag(argc, argv, "--quick");
  const int readings =
      static_cast<int>(optionValue(argc, argv, "--readings", quick ? 30 : 200));
  const int burnerCount = static_cast<int>(optionValue(argc, argv, "--burners", 0));

  // Forked before Qt starts any thread.
  const auto burners = std::make_unique<CpuBurners>(burnerCount);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  StationRig rig(interval);
  if (!rig.start()) {
    std::fprintf(stderr, "tick_lateness: %s\n", rig.error().c_str());
    return 1;
  }

  std::vector<SteadyClock::time_point> lastBytes;
  int missed = 0;
  std::thread writer([&] {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> gap(20.0, 80.0);
    rig.pty.write("noise before the first quiet period\r\n");
    if (!waitForTicks(rig, 1, interval + 10000)) ++missed;
    for (int i = 0; i < readings; ++i) {
      sleepMillis(gap(random));
      lastBytes.push_back(rig.pty.write(readingOf(i % 16 + 1, i)));
      if (!waitForTicks(rig, i + 2, interval + 10000)) ++missed;
    }
    QMetaObject::invokeMethod(&app, [] { QApplication::quit(); }, Qt::QueuedConnection);
  });
  QApplication::exec();
  writer.join();

  std::vector<double> lateness;
  {
    std::lock_guard<std::mutex> lock(rig.events.tickMutex);
    for (std::size_t i = 0; i < lastBytes.size() && i + 1 < rig.events.tickStarts.size(); ++i) {
      lateness.push_back(millisBetween(lastBytes[i], rig.events.tickStarts[i + 1]) - interval);
    }
  }
  const double earliest = quantile(lateness, 0.0);
  const double median = quantile(lateness, 0.5);
  const double p99 = quantile(lateness, 0.99);
  const double latest = quantile(lateness, 1.0);
  const double p99Goal = 0.001 * interval + 3.0;
  const std::string load = burnerCount > 0 ? std::to_string(burnerCount) + " CPU burners" : "idle";
  const std::string run = std::to_string(interval) + " ms, " + load + ", " +
                          std::to_string(lateness.size()) + " readings";
  char text[160];
  std::snprintf(text, sizeof text, "%.2f ms (median %.2f)", earliest, median);
  printRow("tick lateness min (" + run + ")", text, ">= 0 ms", earliest >= 0 && missed == 0);
  std::snprintf(text, sizeof text, "%.2f ms", p99);
  char goal[64];
  std::snprintf(goal, sizeof goal, "<= %.1f ms", p99Goal);
  printRow("tick lateness p99 (" + run + ")", text, goal, p99 <= p99Goal);
  std::snprintf(text, sizeof text, "%.2f ms", latest);
  printRow("tick lateness max (" + run + ")", text, "<= 20 ms", latest <= 20.0);
  if (missed > 0) std::fprintf(stderr, "tick_lateness: %d ticks never came\n", missed);
  return 0;
}
