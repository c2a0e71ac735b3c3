#include "platform/mqtt/broker_address.h"

#include <algorithm>
#include <cctype>

namespace meterstation {

namespace {

constexpr int kPlainPort = 1883;
constexpr int kTlsPort = 8883;

BrokerAddress refused(const std::string& why) {
  BrokerAddress address;
  address.error = why;
  return address;
}

bool nameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_';
}

bool ipv6Character(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
}

// The port after the host: digits only, 1 to 65535.
bool readPort(const std::string& text, int& port) {
  if (text.empty() || text.size() > 5) return false;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  port = std::stoi(text);
  return port >= 1 && port <= 65535;
}

// "host", "host:port", "[v6]" or "[v6]:port".
BrokerAddress readAuthority(const std::string& authority, BrokerAddress address) {
  std::string portText;
  bool portGiven = false;
  if (!authority.empty() && authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string::npos) return refused("the IPv6 address has no closing ]");
    address.host = authority.substr(0, close + 1);
    const std::string inner = authority.substr(1, close - 1);
    if (inner.empty() || !std::all_of(inner.begin(), inner.end(), ipv6Character)) {
      return refused("'" + address.host + "' is not an IPv6 address");
    }
    const std::string rest = authority.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return refused("something follows the IPv6 address");
    portGiven = !rest.empty();
    if (portGiven) portText = rest.substr(1);
  } else {
    const std::size_t colon = authority.find(':');
    address.host = authority.substr(0, colon);
    portGiven = colon != std::string::npos;
    if (portGiven) portText = authority.substr(colon + 1);
    if (address.host.empty()) return refused("there is no host");
    if (!std::all_of(address.host.begin(), address.host.end(), nameCharacter)) {
      return refused("'" + address.host + "' is not a host name or address");
    }
  }
  if (portGiven && !readPort(portText, address.port)) {
    return refused("'" + portText + "' is not a port (1 to 65535)");
  }
  return address;
}

}  // namespace

std::string BrokerAddress::libraryUri() const {
  return std::string(tls ? "ssl://" : "tcp://") + host + ":" + std::to_string(port);
}

std::string BrokerAddress::shown() const {
  return std::string(tls ? "mqtts://" : "mqtt://") + host + ":" + std::to_string(port);
}

BrokerAddress parseBrokerUrl(const std::string& url) {
  const std::size_t mark = url.find("://");
  if (mark == std::string::npos) return refused("it does not start with mqtt:// or mqtts://");
  std::string scheme = url.substr(0, mark);
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  BrokerAddress address;
  if (scheme == "mqtt") {
    address.port = kPlainPort;
  } else if (scheme == "mqtts") {
    address.tls = true;
    address.port = kTlsPort;
  } else {
    return refused("'" + scheme + "://' is neither mqtt:// nor mqtts://");
  }
  std::string authority = url.substr(mark + 3);
  // A single slash at the end is what a URL often carries; a path is not.
  if (!authority.empty() && authority.back() == '/') authority.pop_back();
  if (authority.find('@') != std::string::npos) {
    return refused("a user goes in --mqtt-user and a password in --mqtt-password-file");
  }
  if (authority.find_first_of("/?#") != std::string::npos) {
    return refused("only a host and a port may follow the scheme");
  }
  return readAuthority(authority, address);
}

}  // namespace meterstation
