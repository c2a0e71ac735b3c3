// The feed's sender thread and what the link says: the network only,
// never the disk but to read back a message that is no longer in memory.
#include "platform/mqtt/mqtt_plant_feed.h"

namespace meterstation {

namespace {

// The tag of the last word of a link that ends: its acknowledgement is
// waited for, the link's others are not heard any more.
constexpr std::uint64_t kOfflineTag = UINT64_MAX;
constexpr int kKeepAliveSeconds = 20;

}  // namespace

std::string MqttPlantFeed::statusTopic(const std::string& station) const {
  return setup_.options.prefix + "/" + station + "/status";
}

LinkSettings MqttPlantFeed::linkSettings(const std::string& station) const {
  LinkSettings s;
  s.uri = address_.libraryUri();
  s.tls = address_.tls;
  if (address_.tls) s.caFile = setup_.options.caFile;
  s.clientId = setup_.options.prefix + "-" + station;
  s.user = setup_.options.user;
  s.password = password_;
  s.willTopic = statusTopic(station);
  s.willPayload = "offline";
  s.keepAliveSeconds = kKeepAliveSeconds;
  return s;
}

void MqttPlantFeed::senderLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (senderStep(lock)) {
  }
  finish(lock);
}

// One move of the sender; false once the station is ending.
bool MqttPlantFeed::senderStep(std::unique_lock<std::mutex>& lock) {
  if (stopping_) return false;
  if (!usable_ || station_.empty()) {
    senderWake_.wait(lock);
    return true;
  }
  if (link_ && linkStation_ != station_) {
    endLink(lock, true);
    return true;
  }
  switch (state_) {
    case LinkState::Up:
      if (!onlineSaid_) {
        onlineSaid_ = true;
        if (!publishStatus(lock, linkStation_, "online")) linkGone();
      } else if (!sendNext(lock)) {
        senderWake_.wait(lock);
      }
      return true;
    case LinkState::Connecting:
      senderWake_.wait(lock);
      return true;
    case LinkState::None:
    case LinkState::Failed:
    case LinkState::Down:
      break;
  }
  if (Clock::now() < nextAttempt_) {
    senderWake_.wait_until(lock, nextAttempt_);
  } else {
    startLink(lock);
  }
  return true;
}

// A new client for every attempt: the last one goes first, with whatever
// it still held.
void MqttPlantFeed::startLink(std::unique_lock<std::mutex>& lock) {
  std::unique_ptr<BrokerLink> old = std::move(link_);
  const int id = ++linkId_;
  linkStation_ = station_;
  const LinkSettings settings = linkSettings(linkStation_);
  state_ = LinkState::Connecting;
  onlineSaid_ = false;
  for (Waiting& w : outbox_) w.inFlight = false;
  lock.unlock();
  old.reset();
  std::unique_ptr<BrokerLink> link = setup_.links(settings, id, *this);
  const Result started = link->connect();
  lock.lock();
  link_ = std::move(link);
  if (!started && linkId_ == id && state_ == LinkState::Connecting) {
    lock.unlock();
    linkFailed(id, started.error, false);
    lock.lock();
  }
}

// The station moved to another working directory, or ends: the broker
// hears "offline" for the station the link was made for, then the link
// closes cleanly, so its will is not published as well.
void MqttPlantFeed::endLink(std::unique_lock<std::mutex>& lock, bool sayOffline) {
  std::unique_ptr<BrokerLink> link = std::move(link_);
  const bool up = state_ == LinkState::Up;
  const std::string topic = statusTopic(linkStation_);
  endingLink_ = linkId_;
  offlineAcked_ = false;
  ++linkId_;  // what the old link still says is no longer heard
  state_ = LinkState::None;
  nextAttempt_ = Clock::now();
  for (Waiting& w : outbox_) w.inFlight = false;
  if (link && up && sayOffline) {
    lock.unlock();
    const Result sent = link->publish(topic, "offline", true, kOfflineTag);
    lock.lock();
    if (sent) senderWake_.wait_for(lock, setup_.offlineWait, [&] { return offlineAcked_; });
    lock.unlock();
    link->disconnect(0);
  } else {
    lock.unlock();
  }
  link.reset();
  lock.lock();
}

std::size_t MqttPlantFeed::inFlight() const {
  std::size_t count = 0;
  for (const Waiting& w : outbox_) {
    if (w.inFlight) {
      ++count;
    } else if (!w.acked) {
      break;
    }
  }
  return count;
}

// The oldest message not yet handed to this link, if the window has room;
// false when there is nothing to do.
bool MqttPlantFeed::sendNext(std::unique_lock<std::mutex>& lock) {
  if (inFlight() >= kWindow) return false;
  Waiting* next = nullptr;
  for (Waiting& w : outbox_) {
    if (!w.inFlight && !w.acked) {
      next = &w;
      break;
    }
  }
  if (next == nullptr) return false;
  next->inFlight = true;
  const std::uint64_t tag = next->tag;
  const std::string path = next->path;
  std::optional<PlantMessage> message = next->message;
  const int id = linkId_;
  BrokerLink* link = link_.get();
  lock.unlock();
  std::string error;
  if (!message) message = store_.load(path, error);
  const Result sent = message ? link->publish(message->topic, message->payload, false, tag)
                              : Result::failure(error);
  lock.lock();
  if (!message) {
    // A file that cannot be read holds up nothing behind it; it stays
    // where it is.
    if (!unreadableSaid_)
      say("mqtt: cannot read " + path + ": " + error + "; it is left out", true);
    unreadableSaid_ = true;
    for (Waiting& w : outbox_) {
      if (w.tag == tag) {
        w.path.clear();
        w.acked = true;
      }
    }
    settleFront();
  } else if (!sent && id == linkId_ && state_ == LinkState::Up) {
    linkGone();
    if (!outageSaid_) say("mqtt: lost the broker at " + address_.shown() + ": " + sent.error, true);
    outageSaid_ = true;
  }
  return true;
}

bool MqttPlantFeed::publishStatus(std::unique_lock<std::mutex>& lock, const std::string& station,
                                  const char* status) {
  BrokerLink* link = link_.get();
  const std::string topic = statusTopic(station);
  lock.unlock();
  const Result sent = link->publish(topic, status, true, 0);
  lock.lock();
  return sent.ok;
}

// The end of the station: what the broker can take within the grace goes,
// then "offline".
void MqttPlantFeed::finish(std::unique_lock<std::mutex>& lock) {
  while (state_ == LinkState::Up && !drained() && Clock::now() < endBy_) {
    if (!sendNext(lock)) senderWake_.wait_until(lock, endBy_);
  }
  endLink(lock, true);
}

bool MqttPlantFeed::drained() const {
  if (!incoming_.empty() || keeping_ > 0) return false;
  for (const Waiting& w : outbox_) {
    if (!w.acked) return false;
  }
  return true;
}

void MqttPlantFeed::linkGone() {
  state_ = LinkState::Down;
  for (Waiting& w : outbox_) w.inFlight = false;
  scheduleRetry();
  senderWake_.notify_all();
}

void MqttPlantFeed::scheduleRetry() {
  retry_ = retry_.count() == 0 ? setup_.retryMin : std::min(retry_ * 2, setup_.retryMax);
  nextAttempt_ = Clock::now() + retry_;
}

// ---- What the link says, from the library's threads.

void MqttPlantFeed::linkUp(int link) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (link != linkId_) return;
  state_ = LinkState::Up;
  retry_ = std::chrono::milliseconds(0);
  if (!everUp_) {
    say("mqtt: publishing to " + address_.shown() + " as " + setup_.options.prefix + "/" +
            linkStation_,
        false);
  } else if (outageSaid_) {
    say("mqtt: the broker at " + address_.shown() + " is back; " + messageCount(total()) +
            (total() == 1 ? " waits" : " wait") + " to be sent",
        false);
  }
  everUp_ = true;
  outageSaid_ = false;
  refusedSaid_ = false;
  senderWake_.notify_all();
}

void MqttPlantFeed::linkFailed(int link, const std::string& reason, bool refusedLogin) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (link != linkId_) return;
  linkGone();
  state_ = LinkState::Failed;
  const std::string wait = "; the messages wait on disk and follow when it takes them";
  if (refusedLogin && !refusedSaid_) {
    const std::string who = setup_.options.user.empty() ? "" : " of " + setup_.options.user;
    say("mqtt: the broker at " + address_.shown() + " refused the login" + who + ": " + reason +
            wait,
        true);
    refusedSaid_ = true;
    outageSaid_ = true;
  } else if (!refusedLogin && !outageSaid_) {
    say("mqtt: cannot reach the broker at " + address_.shown() + ": " + reason + wait, true);
    outageSaid_ = true;
  }
}

void MqttPlantFeed::linkDown(int link, const std::string& reason) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (link != linkId_) return;
  linkGone();
  if (!outageSaid_) {
    say("mqtt: lost the broker at " + address_.shown() + ": " + reason +
            "; the messages wait on disk and follow when it is back",
        true);
  }
  outageSaid_ = true;
}

// Acknowledged: the message's file can go once every message before it
// has gone too, so the files on disk are always the newest ones.
void MqttPlantFeed::delivered(int link, std::uint64_t tag) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (tag == kOfflineTag && link == endingLink_) {
    offlineAcked_ = true;
    senderWake_.notify_all();
    return;
  }
  if (link != linkId_ || tag == 0) return;
  for (Waiting& w : outbox_) {
    if (w.tag == tag) {
      w.acked = true;
      w.inFlight = false;
      break;
    }
  }
  settleFront();
}

void MqttPlantFeed::settleFront() {
  while (!outbox_.empty() && outbox_.front().acked) {
    if (!outbox_.front().path.empty()) toDrop_.push_back(std::move(outbox_.front().path));
    outbox_.pop_front();
  }
  if (!toDrop_.empty()) keeperWake_.notify_one();
  settleBound();
  senderWake_.notify_all();
}

void MqttPlantFeed::settleBound() {
  if (notKept_ == 0 || total() >= static_cast<std::size_t>(setup_.options.maxWaiting)) return;
  say("mqtt: " + messageCount(static_cast<std::size_t>(notKept_)) +
          (notKept_ == 1 ? " was" : " were") + " not kept while " +
          std::to_string(setup_.options.maxWaiting) + " waited for the broker",
      true);
  notKept_ = 0;
}

}  // namespace meterstation
