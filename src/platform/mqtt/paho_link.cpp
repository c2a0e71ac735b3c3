// Links over Paho's asynchronous client. Each link is one client, made for
// one connection: without persistence, since the feed keeps the messages on
// disk itself, and without the library's reconnecting, since the feed
// chooses when to try again.
#include <MQTTAsync.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/mqtt/broker_link.h"

namespace meterstation {

namespace {

constexpr int kBufferedMessages = 1000;  // above the feed's window

std::string connectFailureText(const MQTTAsync_failureData* failure, int timeoutSeconds,
                               bool& refusedLogin) {
  refusedLogin = false;
  if (failure == nullptr) return "the connection could not be made";
  switch (failure->code) {
    case 1:
      return "the broker does not take MQTT 3.1.1";
    case 2:
      return "the broker refused the client id";
    case 3:
      return "the broker is unavailable";
    case 4:
      refusedLogin = true;
      return "bad user name or password";
    case 5:
      refusedLogin = true;
      return "not authorised";
    default:
      break;
  }
  // Paho says no more of a socket that would not connect, and calls a
  // broker that took the connection and never answered a TCP timeout.
  const std::string message = failure->message != nullptr ? failure->message : "";
  if (message == "TCP/TLS connect failure") return "no connection (refused, or no answer)";
  if (message == "TCP connect timeout") {
    return "no answer within " + std::to_string(timeoutSeconds) + " s";
  }
  if (failure->message != nullptr && failure->message[0] != '\0') return failure->message;
  const char* text = MQTTAsync_strerror(failure->code);
  return text != nullptr ? text : "error " + std::to_string(failure->code);
}

void initialiseOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    MQTTAsync_init_options init = MQTTAsync_init_options_initializer;
    init.do_openssl_init = 1;
    MQTTAsync_global_init(&init);
  });
}

class PahoLink : public BrokerLink {
 public:
  PahoLink(const LinkSettings& settings, int id, LinkEvents& events)
      : settings_(settings), id_(id), events_(events) {}
  ~PahoLink() override {
    if (client_ != nullptr) MQTTAsync_destroy(&client_);
  }
  PahoLink(const PahoLink&) = delete;
  PahoLink& operator=(const PahoLink&) = delete;

  Result connect() override;
  Result publish(const std::string& topic, const std::string& payload, bool retained,
                 std::uint64_t tag) override;
  void disconnect(int timeoutMs) override;

 private:
  // What the library hands back with a publish's acknowledgement.
  struct Pending {
    PahoLink* link;
    std::uint64_t tag;
  };

  Result create();
  void settle(void* context, bool deliveredOk);

  static void onConnected(void* context, MQTTAsync_successData*) {
    auto* self = static_cast<PahoLink*>(context);
    self->events_.linkUp(self->id_);
  }
  static void onConnectFailed(void* context, MQTTAsync_failureData* failure) {
    auto* self = static_cast<PahoLink*>(context);
    bool refused = false;
    std::string reason =
        connectFailureText(failure, self->settings_.connectTimeoutSeconds, refused);
    {
      std::lock_guard<std::mutex> lock(self->mutex_);
      // The library's own words say only that TCP or TLS failed.
      if (!self->tlsError_.empty()) reason = "TLS: " + self->tlsError_;
    }
    self->events_.linkFailed(self->id_, reason, refused);
  }
  // OpenSSL's errors, "[<thread>:]error:<code>:<library>:<function>:
  // <reason>:<file>:<line>:": the reason is what an operator can act on.
  static int onTlsError(const char* text, std::size_t length, void* context) {
    auto* self = static_cast<PahoLink*>(context);
    std::vector<std::string> fields;
    std::string field;
    for (const char c : std::string(text, length)) {
      if (c == ':') {
        fields.push_back(field);
        field.clear();
      } else if (c != '\n') {
        field += c;
      }
    }
    fields.push_back(field);
    const auto error = std::find(fields.begin(), fields.end(), "error");
    const std::string reason = fields.end() - error > 4 ? *(error + 4) : std::string(text, length);
    std::lock_guard<std::mutex> lock(self->mutex_);
    if (self->tlsError_.empty()) self->tlsError_ = reason;
    return 0;
  }
  static void onLost(void* context, char* cause) {
    auto* self = static_cast<PahoLink*>(context);
    self->events_.linkDown(self->id_, cause != nullptr && cause[0] != '\0'
                                          ? std::string(cause)
                                          : std::string("the connection was lost"));
    MQTTAsync_free(cause);
  }
  static int onArrived(void*, char* topic, int, MQTTAsync_message* message) {
    // The station subscribes to nothing.
    MQTTAsync_freeMessage(&message);
    MQTTAsync_free(topic);
    return 1;
  }
  static void onDelivered(void* context, MQTTAsync_successData*) {
    auto* pending = static_cast<Pending*>(context);
    pending->link->settle(context, true);
  }
  static void onNotDelivered(void* context, MQTTAsync_failureData*) {
    auto* pending = static_cast<Pending*>(context);
    pending->link->settle(context, false);
  }
  static void onDisconnected(void* context, MQTTAsync_successData*) {
    static_cast<PahoLink*>(context)->disconnectDone();
  }
  static void onDisconnectFailed(void* context, MQTTAsync_failureData*) {
    static_cast<PahoLink*>(context)->disconnectDone();
  }
  void disconnectDone() {
    std::lock_guard<std::mutex> lock(mutex_);
    disconnected_ = true;
    done_.notify_all();
  }

  LinkSettings settings_;
  int id_;
  LinkEvents& events_;
  MQTTAsync client_ = nullptr;
  std::mutex mutex_;
  std::condition_variable done_;
  bool disconnected_ = false;
  std::string tlsError_;
  std::unordered_map<const void*, std::unique_ptr<Pending>> pending_;
};

Result PahoLink::create() {
  initialiseOnce();
  MQTTAsync_createOptions options = MQTTAsync_createOptions_initializer;
  options.sendWhileDisconnected = 0;
  options.maxBufferedMessages = kBufferedMessages;
  options.MQTTVersion = MQTTVERSION_3_1_1;
  int rc = MQTTAsync_createWithOptions(&client_, settings_.uri.c_str(), settings_.clientId.c_str(),
                                       MQTTCLIENT_PERSISTENCE_NONE, nullptr, &options);
  if (rc == MQTTASYNC_SUCCESS) {
    rc = MQTTAsync_setCallbacks(client_, this, &PahoLink::onLost, &PahoLink::onArrived, nullptr);
  }
  if (rc != MQTTASYNC_SUCCESS) {
    if (client_ != nullptr) MQTTAsync_destroy(&client_);
    const char* text = MQTTAsync_strerror(rc);
    return Result::failure(text != nullptr ? text : "the client could not be made");
  }
  return Result::success();
}

Result PahoLink::connect() {
  if (client_ == nullptr) {
    const Result made = create();
    if (!made) return made;
  }
  MQTTAsync_willOptions will = MQTTAsync_willOptions_initializer;
  will.topicName = settings_.willTopic.c_str();
  will.message = settings_.willPayload.c_str();
  will.retained = 1;
  will.qos = 1;
  MQTTAsync_SSLOptions ssl = MQTTAsync_SSLOptions_initializer;
  ssl.trustStore = settings_.caFile.empty() ? nullptr : settings_.caFile.c_str();
  ssl.enableServerCertAuth = 1;
  ssl.verify = 1;  // the certificate must name the host in the URL
  ssl.ssl_error_cb = &PahoLink::onTlsError;
  ssl.ssl_error_context = this;
  MQTTAsync_connectOptions options = MQTTAsync_connectOptions_initializer;
  options.keepAliveInterval = settings_.keepAliveSeconds;
  options.cleansession = 1;
  options.will = settings_.willTopic.empty() ? nullptr : &will;
  options.username = settings_.user.empty() ? nullptr : settings_.user.c_str();
  options.password = settings_.password ? settings_.password->c_str() : nullptr;
  options.connectTimeout = settings_.connectTimeoutSeconds;
  options.ssl = settings_.tls ? &ssl : nullptr;
  options.onSuccess = &PahoLink::onConnected;
  options.onFailure = &PahoLink::onConnectFailed;
  options.context = this;
  options.MQTTVersion = MQTTVERSION_3_1_1;
  options.automaticReconnect = 0;
  const int rc = MQTTAsync_connect(client_, &options);
  if (rc != MQTTASYNC_SUCCESS) {
    const char* text = MQTTAsync_strerror(rc);
    return Result::failure(text != nullptr ? text : "cannot connect");
  }
  return Result::success();
}

Result PahoLink::publish(const std::string& topic, const std::string& payload, bool retained,
                         std::uint64_t tag) {
  if (client_ == nullptr) return Result::failure("not connected");
  auto pending = std::make_unique<Pending>(Pending{this, tag});
  void* context = pending.get();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.emplace(context, std::move(pending));
  }
  MQTTAsync_responseOptions response = MQTTAsync_responseOptions_initializer;
  response.onSuccess = &PahoLink::onDelivered;
  response.onFailure = &PahoLink::onNotDelivered;
  response.context = context;
  MQTTAsync_message message = MQTTAsync_message_initializer;
  message.payload = const_cast<char*>(payload.data());
  message.payloadlen = static_cast<int>(payload.size());
  message.qos = 1;
  message.retained = retained ? 1 : 0;
  const int rc = MQTTAsync_sendMessage(client_, topic.c_str(), &message, &response);
  if (rc == MQTTASYNC_SUCCESS) return Result::success();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.erase(context);
  }
  const char* text = MQTTAsync_strerror(rc);
  return Result::failure(text != nullptr ? text : "the message was not taken");
}

void PahoLink::settle(void* context, bool deliveredOk) {
  std::uint64_t tag = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = pending_.find(context);
    if (it == pending_.end()) return;
    tag = it->second->tag;
    pending_.erase(it);
  }
  // A publish that failed is sent again on the next link.
  if (deliveredOk) events_.delivered(id_, tag);
}

void PahoLink::disconnect(int timeoutMs) {
  if (client_ == nullptr) return;
  MQTTAsync_disconnectOptions options = MQTTAsync_disconnectOptions_initializer;
  options.timeout = timeoutMs;
  options.onSuccess = &PahoLink::onDisconnected;
  options.onFailure = &PahoLink::onDisconnectFailed;
  options.context = this;
  if (MQTTAsync_disconnect(client_, &options) != MQTTASYNC_SUCCESS) return;
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait_for(lock, std::chrono::milliseconds(timeoutMs + 1000), [&] { return disconnected_; });
}

}  // namespace

LinkFactory pahoLinks() {
  return [](const LinkSettings& settings, int link, LinkEvents& events) {
    return std::unique_ptr<BrokerLink>(new PahoLink(settings, link, events));
  };
}

}  // namespace meterstation
