// A site's broker coming back: stations that kept their messages on disk
// while it was away all send them at once. How fast the messages are kept
// (each file synced with its directory), and how fast a mosquitto on this
// machine takes them back from --stations feeds of --messages each.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_report.h"
#include "platform/mqtt/mqtt_plant_feed.h"
#include "platform/posix/durable_files.h"
#include "platform/posix/file_locks.h"
#include "support/mosquitto_broker.h"
#include "support/scratch_dir.h"

using namespace meterstation;
using namespace meterstation::bench;

namespace {

using Clock = std::chrono::steady_clock;

// The machine as the feed needs it: its own locks and process.
class BenchHost : public Host {
 public:
  std::string dataDirectory() override { return {}; }
  void printError(const std::string&) override {}
  LockOutcome lock(const std::string& path) override { return locks_.lock(path); }
  void unlock(const std::string& path) override { locks_.unlock(path); }
  int processId() override { return currentProcessId(); }
  bool processRunning(int pid) override { return meterstation::processRunning(pid); }
  char pathSeparator() const override { return '/'; }

 private:
  FileLocks locks_;
};

// A reading's message as the station publishes it, 250 bytes or so.
std::string readingPayload(int station, int n) {
  char text[320];
  std::snprintf(text, sizeof text,
                "{\"id\":\"%016x-%d\",\"meter\":%d,\"reading\":\"%02d,188,93291,27891,334,99311,"
                "09814,57910\",\"fields\":[\"%02d\",\"188\",\"93291\",\"27891\",\"334\",\"99311\","
                "\"09814\",\"57910\"],\"value\":188,\"time\":\"2026-12-08T13:58:29\"}",
                station, n, n % 16 + 1, n % 16 + 1, n % 16 + 1);
  return text;
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

template <typename Condition>
bool waitFor(Condition done, double seconds) {
  const auto start = Clock::now();
  while (!done()) {
    if (secondsSince(start) > seconds) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = hasFlag(argc, argv, "--quick");
  const int stations = static_cast<int>(optionValue(argc, argv, "--stations", quick ? 10 : 50));
  const int messages = static_cast<int>(optionValue(argc, argv, "--messages", quick ? 200 : 1000));
  testsupport::ScratchDir scratch("meterstation-bench-drain");
  testsupport::MosquittoBroker broker(scratch.path());
  if (!broker.start()) {
    std::fprintf(stderr, "plant_drain: mosquitto did not start\n%s", broker.log().c_str());
    return 1;
  }
  BenchHost host;
  std::vector<std::unique_ptr<DurableFiles>> files;
  std::vector<std::unique_ptr<MqttPlantFeed>> feeds;
  for (int s = 0; s < stations; ++s) {
    MqttPlantFeed::Setup setup;
    setup.options.url = broker.url();
    setup.storeDir = scratch / ("store-" + std::to_string(s));
    files.push_back(std::make_unique<DurableFiles>());
    feeds.push_back(std::make_unique<MqttPlantFeed>(*files.back(), host, setup));
  }
  const std::size_t total = static_cast<std::size_t>(stations) * static_cast<std::size_t>(messages);
  const auto waiting = [&] {
    std::size_t count = 0;
    for (const auto& feed : feeds) count += feed->waiting();
    return count;
  };

  // The broker away: everything is kept on disk, the stations side by side.
  const auto keptFrom = Clock::now();
  for (int n = 0; n < messages; ++n) {
    for (int s = 0; s < stations; ++s) {
      feeds[static_cast<std::size_t>(s)]->publish(
          {"meterstation/bench" + std::to_string(s) + "/reading", readingPayload(s, n)});
    }
  }
  std::size_t onDisk = 0;
  const bool kept = waitFor(
      [&] {
        onDisk = 0;
        for (int s = 0; s < stations; ++s) {
          for (const auto& name : files[0]->list(scratch / ("store-" + std::to_string(s)))) {
            onDisk += name.ends_with(".msg") ? 1 : 0;
          }
        }
        return onDisk == total;
      },
      600);
  const double keptSeconds = secondsSince(keptFrom);

  // The broker back: every station's link comes up and sends.
  const auto sentFrom = Clock::now();
  for (int s = 0; s < stations; ++s) {
    feeds[static_cast<std::size_t>(s)]->stationChosen("bench" + std::to_string(s));
  }
  const bool sent = waitFor([&] { return waiting() == 0; }, 600);
  const double sentSeconds = secondsSince(sentFrom);

  char text[200];
  const char* plural = stations == 1 ? "" : "s";
  std::snprintf(text, sizeof text, "%.0f messages/s (%zu of %zu in %.1f s, %d station%s)",
                static_cast<double>(onDisk) / keptSeconds, onDisk, total, keptSeconds, stations,
                plural);
  printRow("messages kept on disk while the broker is away", text, "all kept", kept);
  std::snprintf(text, sizeof text, "%.0f messages/s (%zu in %.1f s, %d station%s at once)",
                static_cast<double>(total - waiting()) / sentSeconds, total - waiting(),
                sentSeconds, stations, plural);
  printRow("waiting messages sent when the broker is back", text, "all sent", sent);
  feeds.clear();
  return 0;
}
