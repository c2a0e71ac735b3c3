#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/result.h"

namespace meterstation {

// What one connection to the broker is made with.
struct LinkSettings {
  std::string uri;  // tcp://host:port or ssl://host:port
  bool tls = false;
  std::string caFile;  // empty: the system's own authorities
  std::string clientId;
  std::string user;  // empty: no login
  std::optional<std::string> password;
  std::string willTopic;  // published retained by the broker if the link dies
  std::string willPayload;
  int keepAliveSeconds = 30;
  int connectTimeoutSeconds = 10;
};

// What a link says, from the MQTT library's own threads; none of these may
// wait. `link` is the number the link was made with, so that a late word
// of a link already given up can be told apart.
class LinkEvents {
 public:
  virtual ~LinkEvents() = default;
  virtual void linkUp(int link) = 0;
  // The connection could not be made; `refusedLogin` when the broker said
  // no to the user and password.
  virtual void linkFailed(int link, const std::string& reason, bool refusedLogin) = 0;
  virtual void linkDown(int link, const std::string& reason) = 0;
  // The broker acknowledged the message handed over with this tag.
  virtual void delivered(int link, std::uint64_t tag) = 0;
};

// One connection to the broker from its start to its end. A link is made
// anew for every attempt: nothing a lost connection still held can be
// sent again behind the feed's back, out of its order.
class BrokerLink {
 public:
  // Ends the connection at once, if it is still there.
  virtual ~BrokerLink() = default;
  // Starts connecting; the outcome comes as linkUp or linkFailed.
  virtual Result connect() = 0;
  // Hands a QoS 1 message over; delivered() follows with the tag.
  virtual Result publish(const std::string& topic, const std::string& payload, bool retained,
                         std::uint64_t tag) = 0;
  // A clean end: what is in flight has up to the timeout, then the link
  // closes without its will. Waits.
  virtual void disconnect(int timeoutMs) = 0;
};

using LinkFactory =
    std::function<std::unique_ptr<BrokerLink>(const LinkSettings&, int link, LinkEvents&)>;

// Links over the Eclipse Paho C client.
LinkFactory pahoLinks();

}  // namespace meterstation
