#pragma once

#include <string>

namespace meterstation {

// Where the site's broker listens, from a URL the operator wrote.
struct BrokerAddress {
  bool tls = false;
  std::string host;  // a name, an IPv4 address or a bracketed IPv6 one
  int port = 0;
  std::string error;  // why the URL is no broker address; empty when it is

  bool ok() const { return error.empty(); }
  // The address as the MQTT library takes it: tcp://host:port or
  // ssl://host:port.
  std::string libraryUri() const;
  // The address as the operator reads it back: mqtt://host:port or
  // mqtts://host:port.
  std::string shown() const;
};

// mqtt://host[:port] (1883 by default) or mqtts://host[:port] (8883). A
// user, a path, a query or anything but a host and a port is refused with
// its reason, since a station that guessed would publish somewhere else.
BrokerAddress parseBrokerUrl(const std::string& url);

}  // namespace meterstation
