// Readings at the densest rhythm the station is meant for, as in
// held_framing, once without MQTT and once (--blackhole) publishing to a
// broker that accepts the connection and never answers: the feed's link
// waits for a CONNACK that never comes, again and again, while every
// message waits on disk. Framing, how far behind the line the station
// falls, and the time its handlers spend in the files must not differ.
#include <QApplication>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/framing_count.h"
#include "bench/station_rig.h"
#include "platform/mqtt/mqtt_plant_feed.h"

using namespace meterstation;
using namespace meterstation::bench;

namespace {

constexpr int kIntervalMs = 250;
constexpr int kMarginMs = 60;

// A listening socket nobody accepts from: the kernel completes every
// connection into its backlog, and not one byte ever comes back.
class BlackHole {
 public:
  BlackHole() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) == 0 && ::listen(fd_, 64) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~BlackHole() { ::close(fd_); }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// The feed of a station started with --mqtt, its messages kept in a
// directory of the bench's own.
struct BlackHoleFeed {
  BlackHole hole;
  QObject news;
  QtHost host;
  DurableFiles files;
  std::unique_ptr<MqttPlantFeed> feed;

  void attach(Form1& form, const std::string& dir) {
    MqttPlantFeed::Setup setup;
    setup.options.url = "mqtt://127.0.0.1:" + std::to_string(hole.port());
    setup.storeDir = dir + "/mqtt";
    setup.notify = [this, &form] {
      QMetaObject::invokeMethod(
          &news, [&form] { form.Plant_Notice(); }, Qt::QueuedConnection);
    };
    feed = std::make_unique<MqttPlantFeed>(files, host, setup);
    form.attachPlantFeed(*feed, setup.options);
  }
};

void printRows(const std::string& label, StationRig& rig, const Framing& f, int readings,
               std::vector<double>& behind) {
  char text[200];
  std::snprintf(text, sizeof text, "%d merged, %d split, %d whole of %d", f.merged, f.split,
                f.whole, readings);
  printRow("framing " + label, text, "0 merged, 0 split",
           f.merged == 0 && f.split == 0 && f.whole == readings);
  const double worst = behind.empty() ? 0 : *std::max_element(behind.begin(), behind.end());
  std::snprintf(text, sizeof text, "median %.1f ms, max %.1f ms", quantile(behind, 0.5), worst);
  printReference("behind the line, quiet period's end to its tick " + label, text);
  std::snprintf(text, sizeof text, "%.2f ms a reading; longest handler %.1f ms (%s, %.1f ms files)",
                rig.timedFiles.totalMs / readings, rig.events.longestHandlerMs,
                rig.events.longestHandler.c_str(), rig.events.longestHandlerFilesMs);
  printReference("time in the files " + label, text);
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = hasFlag(argc, argv, "--quick");
  const bool blackHole = hasFlag(argc, argv, "--blackhole");
  const int readings = static_cast<int>(optionValue(argc, argv, "--readings", quick ? 48 : 160));
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  StationRig rig(kIntervalMs);
  BlackHoleFeed plant;
  if (blackHole) {
    if (plant.hole.port() == 0) {
      std::fprintf(stderr, "plant_framing: cannot listen on the loopback\n");
      return 1;
    }
    plant.attach(rig.form, rig.workDir);
  }
  if (!rig.start()) {
    std::fprintf(stderr, "plant_framing: %s\n", rig.error().c_str());
    return 1;
  }

  std::vector<SteadyClock::time_point> lastBytes;
  std::thread sender([&] {
    for (int r = 0; r <= readings; ++r) {
      lastBytes.push_back(rig.pty.write(readingOf(r % 16 + 1, r)));
      sleepMillis(kIntervalMs + kMarginMs);
    }
  });
  const auto deadline = SteadyClock::now() + std::chrono::seconds(60 + readings * 2);
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, [&] {
    if (rig.events.ticks.load() >= readings + 1 || SteadyClock::now() > deadline) {
      QApplication::quit();
    }
  });
  check.start(50);
  QApplication::exec();
  sender.join();

  std::vector<double> behind;
  {
    std::lock_guard<std::mutex> lock(rig.events.tickMutex);
    const auto& ticks = rig.events.tickStarts;
    for (std::size_t t = 1; t < ticks.size() && t < lastBytes.size(); ++t) {
      behind.push_back(millisBetween(lastBytes[t], ticks[t]) - kIntervalMs);
    }
  }
  const std::string label = blackHole ? "(broker black-holed)" : "(without MQTT)";
  printRows(label, rig, framingOf(rig.recording.inputs, readings), readings, behind);
  if (blackHole) {
    // Every reading and set handed over waits: none lost, none sent.
    const std::size_t expected =
        static_cast<std::size_t>(readings) + static_cast<std::size_t>(readings / 16);
    const std::size_t waiting = plant.feed->waiting();
    char text[120];
    std::snprintf(text, sizeof text, "%zu of %zu waiting, link %s", waiting, expected,
                  plant.feed->connected() ? "up" : "never up");
    printRow("messages kept while the broker is black-holed", text, "all waiting, link never up",
             waiting == expected && !plant.feed->connected());
  }
  return 0;
}
