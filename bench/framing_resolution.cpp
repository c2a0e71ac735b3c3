// Whether the station cuts readings where the silences are at a 200 ms
// interval: readings 225 ms apart stay apart, readings 175 ms apart merge.
#include <QApplication>
#include <QMetaObject>

#include <cstdio>
#include <thread>

#include "bench/station_rig.h"

using namespace meterstation;
using namespace meterstation::bench;

namespace {

constexpr int kInterval = 200;

struct Outcome {
  int clean = 0;  // ticks whose input was exactly what was sent as one
  int ticks = 0;
};

// Sends the groups with the given silence inside and after each group and
// counts the ticks whose input is exactly one group.
Outcome run(QApplication& app, int groups, int perGroup, double insideMs, double afterMs) {
  StationRig rig(kInterval);
  Outcome outcome;
  if (!rig.start()) {
    std::fprintf(stderr, "framing_resolution: %s\n", rig.error().c_str());
    return outcome;
  }
  std::vector<std::string> sent;
  std::thread writer([&] {
    rig.pty.write("noise before the first quiet period\r\n");
    waitForTicks(rig, 1, 10000);
    int value = 0;
    for (int g = 0; g < groups; ++g) {
      std::string group;
      for (int r = 0; r < perGroup; ++r) {
        const std::string reading = readingOf(value % 16 + 1, value);
        ++value;
        group += reading;
        // The silence counts from the moment the bytes went out.
        const auto sentAt = rig.pty.write(reading);
        std::this_thread::sleep_until(sentAt + std::chrono::duration_cast<SteadyClock::duration>(
                                                   std::chrono::duration<double, std::milli>(
                                                       r + 1 < perGroup ? insideMs : afterMs)));
      }
      sent.push_back(group);
    }
    sleepMillis(kInterval + 200);
    QMetaObject::invokeMethod(
        &app, [] { QApplication::quit(); }, Qt::QueuedConnection);
  });
  QApplication::exec();
  writer.join();

  // The first input is the synchronising burst.
  const auto& inputs = rig.recording.inputs;
  outcome.ticks = static_cast<int>(inputs.size()) - 1;
  for (std::size_t i = 1; i < inputs.size() && i - 1 < sent.size(); ++i) {
    if (inputs[i] == sent[i - 1]) ++outcome.clean;
  }
  return outcome;
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = hasFlag(argc, argv, "--quick");
  // The two halves share nothing and take minutes each, so each can run in
  // a process of its own: --apart alone or --groups alone.
  const bool onlyApart = hasFlag(argc, argv, "--apart");
  const bool onlyGroups = hasFlag(argc, argv, "--groups");
  const int apart = quick ? 200 : 2000;
  const int groups = quick ? 20 : 200;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);

  char value[96];
  if (!onlyGroups) {
    const Outcome single = run(app, apart, 1, 0, 225);
    std::snprintf(value, sizeof value, "%d readings, %d exact", single.ticks, single.clean);
    printRow("framing: " + std::to_string(apart) + " readings 225 ms apart", value,
             "exactly " + std::to_string(apart) + ", all exact",
             single.ticks == apart && single.clean == apart);
  }
  if (!onlyApart) {
    const Outcome merged = run(app, groups, 5, 175, 400);
    std::snprintf(value, sizeof value, "%d readings, %d exact groups", merged.ticks, merged.clean);
    printRow("framing: " + std::to_string(groups) + " groups of 5, 175 ms inside, 400 ms after",
             value, "exactly " + std::to_string(groups) + " merged",
             merged.ticks == groups && merged.clean == groups);
  }
  return 0;
}
