#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/host.h"
#include "platform/mqtt/broker_address.h"
#include "platform/mqtt/broker_link.h"
#include "platform/mqtt/message_store.h"
#include "platform/plant_feed.h"
#include "platform/plant_options.h"

namespace meterstation {

// The station's feed to the site's MQTT broker. The event thread only
// hands messages over; beside it a keeper thread puts each on disk at once
// and a sender thread keeps a link to the broker and publishes them, at
// QoS 1 and in their order, each file going only once the broker has
// acknowledged its message. A lost link, a broker that does not answer, a
// crash or a kill lose nothing: the files wait, and are sent first when the
// broker is back or by the next station that runs.
class MqttPlantFeed : public PlantFeed, private LinkEvents {
 public:
  // Messages in flight at once on a link.
  static constexpr std::size_t kWindow = 32;

  struct Setup {
    PlantOptions options;
    std::string storeDir;  // where the messages wait; empty: in memory only
    // Called from the feed's threads when there are notices to take: the
    // program posts Plant_Notice to the event thread.
    std::function<void()> notify;
    LinkFactory links = pahoLinks();
    std::chrono::milliseconds retryMin{1000};
    std::chrono::milliseconds retryMax{10000};
    // How long the end of the station waits for the broker to take what is
    // in flight before it says offline.
    std::chrono::milliseconds endGrace{2000};
    // How long a link that ends waits for the broker to take its
    // "offline".
    std::chrono::milliseconds offlineWait{1000};
  };

  // `files` and `host` are the feed's own, used only by its threads.
  MqttPlantFeed(Files& files, Host& host, Setup setup);
  ~MqttPlantFeed() override;
  MqttPlantFeed(const MqttPlantFeed&) = delete;
  MqttPlantFeed& operator=(const MqttPlantFeed&) = delete;

  void stationChosen(const std::string& stationId) override;
  void publish(PlantMessage message) override;
  std::vector<PlantNotice> takeNotices() override;
  std::string runId() override { return runId_; }

  // Messages handed over and not yet acknowledged by the broker.
  std::size_t waiting() const;
  // Whether a link to the broker is up.
  bool connected() const;

 private:
  using Clock = std::chrono::steady_clock;
  enum class LinkState { None, Connecting, Up, Failed, Down };
  struct Waiting {
    std::uint64_t tag = 0;
    std::string path{};  // its file; empty when it is not on disk
    // The message itself, while it is near the front or not on disk.
    std::optional<PlantMessage> message{};
    bool inFlight = false;
    bool acked = false;
  };

  // Setup, on the constructing thread.
  void checkOptions();
  void readSecrets();

  // The keeper thread: disk only.
  void keeperLoop();
  void keepBatch(std::unique_lock<std::mutex>& lock);
  void dropBatch(std::unique_lock<std::mutex>& lock);
  void openStore(std::unique_lock<std::mutex>& lock);

  // The sender thread: the link only.
  void senderLoop();
  bool senderStep(std::unique_lock<std::mutex>& lock);
  void startLink(std::unique_lock<std::mutex>& lock);
  void endLink(std::unique_lock<std::mutex>& lock, bool sayOffline);
  bool sendNext(std::unique_lock<std::mutex>& lock);
  bool publishStatus(std::unique_lock<std::mutex>& lock, const std::string& station,
                     const char* status);
  void finish(std::unique_lock<std::mutex>& lock);
  bool drained() const;
  std::size_t inFlight() const;
  LinkSettings linkSettings(const std::string& station) const;
  std::string statusTopic(const std::string& station) const;

  // LinkEvents, from the library's threads.
  void linkUp(int link) override;
  void linkFailed(int link, const std::string& reason, bool refusedLogin) override;
  void linkDown(int link, const std::string& reason) override;
  void delivered(int link, std::uint64_t tag) override;

  // Under the lock.
  void say(std::string text, bool problem);
  void scheduleRetry();
  void settleBound();
  void settleFront();
  void linkGone();
  std::size_t total() const { return incoming_.size() + keeping_ + outbox_.size(); }

  Files& files_;
  Host& host_;
  Setup setup_;
  BrokerAddress address_;
  std::optional<std::string> password_;
  bool usable_ = true;  // the options allow a connection at all
  std::string runId_;
  MessageStore store_;

  mutable std::mutex mutex_;
  std::condition_variable keeperWake_;
  std::condition_variable senderWake_;
  std::deque<PlantMessage> incoming_;  // handed over, not yet on disk
  std::size_t keeping_ = 0;            // being put on disk just now
  std::deque<Waiting> outbox_;         // on disk (or in memory), oldest first
  std::vector<std::string> toDrop_;    // acknowledged, for the keeper
  std::uint64_t nextTag_ = 1;
  std::vector<PlantNotice> notices_;
  std::int64_t notKept_ = 0;  // handed over while the bound was reached
  bool diskFailed_ = false;

  std::string station_;      // the station chosen last
  std::string linkStation_;  // the station the link was made for
  std::unique_ptr<BrokerLink> link_;
  int linkId_ = 0;
  int endingLink_ = 0;  // the link whose "offline" is awaited
  bool offlineAcked_ = false;
  LinkState state_ = LinkState::None;
  bool onlineSaid_ = false;  // status "online" published on this link
  bool everUp_ = false;
  bool outageSaid_ = false;
  bool refusedSaid_ = false;
  bool unreadableSaid_ = false;
  Clock::time_point nextAttempt_{};
  std::chrono::milliseconds retry_{0};
  bool stopping_ = false;
  Clock::time_point endBy_{};
  bool keeperStopping_ = false;

  std::thread keeper_;
  std::thread sender_;
};

// "1 message", "2 messages".
std::string messageCount(std::size_t count);

// This run's name among the runs that keep messages in one directory.
std::string plantRunName(int pid);

}  // namespace meterstation
