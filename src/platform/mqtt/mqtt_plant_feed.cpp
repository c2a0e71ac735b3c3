#include "platform/mqtt/mqtt_plant_feed.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace meterstation {

namespace {

// Messages near the front of the queue stay in memory as well as on disk,
// so that a broker that keeps up never has them read back.
constexpr std::size_t kKeptInMemory = 256;

std::string randomRunId() {
  std::random_device device;
  const std::uint64_t value = (static_cast<std::uint64_t>(device()) << 32) ^ device();
  char text[24];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

// The password is the file's first line, without its line end.
std::string firstLine(const std::string& bytes) {
  std::string line = bytes.substr(0, bytes.find('\n'));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

std::string messageCount(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " message" : " messages");
}

std::string plantRunName(int pid) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
  char text[48];
  std::snprintf(text, sizeof text, "%011lld-%d", static_cast<long long>(seconds), pid);
  return text;
}

MqttPlantFeed::MqttPlantFeed(Files& files, Host& host, Setup setup)
    : files_(files),
      host_(host),
      setup_(std::move(setup)),
      runId_(randomRunId()),
      store_(files, host, setup_.storeDir, plantRunName(host.processId())) {
  checkOptions();
  keeper_ = std::thread([this] { keeperLoop(); });
  sender_ = std::thread([this] { senderLoop(); });
}

MqttPlantFeed::~MqttPlantFeed() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    endBy_ = Clock::now() + setup_.endGrace;
  }
  senderWake_.notify_all();
  sender_.join();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    keeperStopping_ = true;
  }
  keeperWake_.notify_all();
  keeper_.join();
  store_.close();
  std::size_t onDisk = 0;
  std::size_t inMemory = 0;
  for (const Waiting& w : outbox_) {
    if (w.acked) continue;
    (w.path.empty() ? inMemory : onDisk) += 1;
  }
  // The window is gone: what is left is said where a log can keep it.
  if (onDisk > 0) {
    const std::string left = messageCount(onDisk) + (onDisk == 1 ? " waits" : " wait");
    std::fprintf(stderr,
                 "meterstation: mqtt: %s for the broker; kept in %s and sent when a station "
                 "next runs with --mqtt\n",
                 left.c_str(), setup_.storeDir.c_str());
  }
  if (inMemory > 0) {
    std::fprintf(stderr, "meterstation: mqtt: %s could not be kept on disk and %s lost\n",
                 messageCount(inMemory).c_str(), inMemory == 1 ? "is" : "are");
  }
}

// What cannot be right now will not be right later in this run: said
// once, and no connection is tried. The messages are kept all the same,
// for a station started again with the options put right.
void MqttPlantFeed::checkOptions() {
  const PlantOptions& o = setup_.options;
  const std::string waitNote = "; nothing is sent, the messages wait on disk";
  std::lock_guard<std::mutex> lock(mutex_);
  address_ = parseBrokerUrl(o.url);
  if (!address_.ok()) {
    say("mqtt: '" + o.url + "' is not a broker address: " + address_.error + waitNote, true);
    usable_ = false;
  }
  if (!o.passwordFile.empty()) {
    const ReadResult read = files_.read(o.passwordFile);
    if (read.ok) {
      password_ = firstLine(read.bytes);
    } else {
      say("mqtt: cannot read the password file " + o.passwordFile + ": " + read.error + waitNote,
          true);
      usable_ = false;
    }
  }
  if (o.caFile.empty()) return;
  if (address_.ok() && !address_.tls) {
    say("mqtt: --mqtt-ca is for an mqtts:// broker; the CA file is not used with " + o.url, true);
    return;
  }
  const ReadResult ca = files_.read(o.caFile);
  if (!ca.ok) {
    say("mqtt: cannot read the CA file " + o.caFile + ": " + ca.error + waitNote, true);
    usable_ = false;
  }
}

void MqttPlantFeed::stationChosen(const std::string& stationId) {
  std::lock_guard<std::mutex> lock(mutex_);
  station_ = stationId;
  senderWake_.notify_all();
}

void MqttPlantFeed::publish(PlantMessage message) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto bound = static_cast<std::size_t>(setup_.options.maxWaiting);
  if (total() >= bound) {
    if (notKept_++ == 0) {
      say("mqtt: " + std::to_string(bound) +
              " messages wait for the broker, the most this station keeps "
              "(--mqtt-max-waiting); newer ones are not kept until it takes some",
          true);
    }
    return;
  }
  incoming_.push_back(std::move(message));
  keeperWake_.notify_one();
}

std::vector<PlantNotice> MqttPlantFeed::takeNotices() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<PlantNotice> taken;
  taken.swap(notices_);
  return taken;
}

std::size_t MqttPlantFeed::waiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t count = incoming_.size() + keeping_;
  for (const Waiting& w : outbox_) count += w.acked ? 0 : 1;
  return count;
}

bool MqttPlantFeed::connected() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_ == LinkState::Up;
}

void MqttPlantFeed::say(std::string text, bool problem) {
  notices_.push_back({std::move(text), problem});
  if (setup_.notify) setup_.notify();
}

// ---- The keeper: the disk, never the network.

void MqttPlantFeed::keeperLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  openStore(lock);
  for (;;) {
    keeperWake_.wait(lock,
                     [&] { return keeperStopping_ || !incoming_.empty() || !toDrop_.empty(); });
    if (!incoming_.empty()) {
      keepBatch(lock);
    } else if (!toDrop_.empty()) {
      dropBatch(lock);
    } else {
      return;
    }
  }
}

// The messages of runs that are gone go first, before anything this run
// hands over: the keeper takes nothing in until they are queued.
void MqttPlantFeed::openStore(std::unique_lock<std::mutex>& lock) {
  const std::string dir = setup_.storeDir;
  if (dir.empty()) {
    diskFailed_ = true;
    say("mqtt: messages cannot be kept on disk: there is no data directory; they wait in memory",
        true);
    return;
  }
  lock.unlock();
  std::string failure;
  std::vector<std::string> paths;
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    failure = std::strerror(errno);
  } else {
    paths = store_.open();
    if (!store_.opened()) failure = "its lock cannot be taken";
  }
  lock.lock();
  if (!failure.empty()) {
    diskFailed_ = true;
    say("mqtt: messages cannot be kept on disk in " + dir + ": " + failure +
            "; they wait in memory and are lost if the station ends",
        true);
    return;
  }
  for (std::string& path : paths) outbox_.push_back(Waiting{nextTag_++, std::move(path)});
  if (!paths.empty()) {
    say("mqtt: " + messageCount(paths.size()) + " of an earlier run " +
            (paths.size() == 1 ? "waits" : "wait") + " for the broker",
        false);
    senderWake_.notify_all();
  }
}

void MqttPlantFeed::keepBatch(std::unique_lock<std::mutex>& lock) {
  std::deque<PlantMessage> batch;
  batch.swap(incoming_);
  keeping_ = batch.size();
  const bool disk = store_.opened();
  lock.unlock();
  std::vector<Waiting> kept;
  std::string failure;
  for (PlantMessage& message : batch) {
    Waiting w;
    std::string path;
    if (disk) {
      const Result written = store_.keep(message, path);
      if (written) w.path = path;
      if (!written) failure = written.error;
    }
    w.message = std::move(message);
    kept.push_back(std::move(w));
  }
  lock.lock();
  keeping_ = 0;
  for (Waiting& w : kept) {
    w.tag = nextTag_++;
    if (outbox_.size() >= kKeptInMemory && !w.path.empty()) w.message.reset();
    outbox_.push_back(std::move(w));
  }
  const bool failedNow = !failure.empty();
  if (disk && failedNow != diskFailed_) {
    say(failedNow ? "mqtt: messages cannot be kept on disk: " + failure +
                        "; they wait in memory and are lost if the station ends"
                  : "mqtt: messages are kept on disk again",
        failedNow);
    diskFailed_ = failedNow;
  }
  senderWake_.notify_all();
}

// A file that will not go is sent once more by a later run: a duplicate,
// which the message's id lets a consumer drop.
void MqttPlantFeed::dropBatch(std::unique_lock<std::mutex>& lock) {
  std::vector<std::string> paths;
  paths.swap(toDrop_);
  lock.unlock();
  for (const std::string& path : paths) (void)store_.drop(path);
  lock.lock();
}

}  // namespace meterstation
