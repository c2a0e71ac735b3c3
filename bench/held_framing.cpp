// Readings at the densest rhythm the station is meant for (each reading at
// once, then the interval and 60 ms of silence), while the event thread is
// held up: by a handler that sleeps (--hold-ms) or by a disk whose every
// sync takes long (--sync-ms). Counts readings merged or split, and how far
// behind the line the station falls: from the end of each reading's quiet
// period to the start of its tick.
#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench/framing_count.h"
#include "bench/station_rig.h"

using namespace meterstation;
using namespace meterstation::bench;

namespace {

constexpr int kIntervalMs = 250;
constexpr int kMarginMs = 60;

FileSystemCalls slowSyncs(int ms) {
  FileSystemCalls calls = FileSystemCalls::real();
  if (ms <= 0) return calls;
  const auto slow = [ms](std::function<int(int)> sync) {
    return [ms, sync = std::move(sync)](int fd) {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      return sync(fd);
    };
  };
  calls.fsync = slow(calls.fsync);
  calls.fdatasync = slow(calls.fdatasync);
  return calls;
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = hasFlag(argc, argv, "--quick");
  const int holdMs = static_cast<int>(optionValue(argc, argv, "--hold-ms", 0));
  const int syncMs = static_cast<int>(optionValue(argc, argv, "--sync-ms", 0));
  const int readings = static_cast<int>(optionValue(argc, argv, "--readings", quick ? 48 : 160));
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  StationRig rig(kIntervalMs, slowSyncs(syncMs));
  if (!rig.start()) {
    std::fprintf(stderr, "held_framing: %s\n", rig.error().c_str());
    return 1;
  }

  // The burst that synchronises, then the readings, each written at once.
  std::vector<SteadyClock::time_point> lastBytes;
  std::thread sender([&] {
    for (int r = 0; r <= readings; ++r) {
      lastBytes.push_back(rig.pty.write(readingOf(r % 16 + 1, r)));
      sleepMillis(kIntervalMs + kMarginMs);
    }
  });
  // Holds the event thread again and again, between and inside readings.
  QTimer holder;
  if (holdMs > 0) {
    QObject::connect(&holder, &QTimer::timeout, [&] { sleepMillis(holdMs); });
    holder.start(holdMs + 700);
  }
  const auto deadline =
      SteadyClock::now() + std::chrono::seconds(60 + readings * (2 + syncMs / 50));
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, [&] {
    if (rig.events.ticks.load() >= readings + 1 || SteadyClock::now() > deadline) {
      QApplication::quit();
    }
  });
  check.start(50);
  QApplication::exec();
  sender.join();

  const Framing f = framingOf(rig.recording.inputs, readings);
  std::vector<double> behind;
  {
    std::lock_guard<std::mutex> lock(rig.events.tickMutex);
    const auto& ticks = rig.events.tickStarts;
    for (std::size_t t = 1; t < ticks.size() && t < lastBytes.size(); ++t) {
      behind.push_back(millisBetween(lastBytes[t], ticks[t]) - kIntervalMs);
    }
  }
  const std::string held = holdMs > 0 ? "event thread held " + std::to_string(holdMs) + " ms"
                                      : "every sync " + std::to_string(syncMs) + " ms";
  char text[200];
  std::snprintf(text, sizeof text, "%d merged, %d split, %d whole of %d", f.merged, f.split,
                f.whole, readings);
  printRow("framing under a held event thread (" + held + ")", text, "0 merged, 0 split",
           f.merged == 0 && f.split == 0 && f.whole == readings);
  // Behind the line: the most, and at the last reading; a station that
  // keeps up is no further behind at the end than at its worst moment
  // earlier on.
  const double last = behind.empty() ? 0 : behind.back();
  std::snprintf(text, sizeof text, "max %.0f ms, last reading %.0f ms (%zu readings)",
                behind.empty() ? 0 : *std::max_element(behind.begin(), behind.end()), last,
                behind.size());
  printReference("behind the line, quiet period's end to its tick (" + held + ")", text);
  return 0;
}
