#pragma once

#include <cstdint>
#include <string>

namespace meterstation {

// How a station publishes to a site's MQTT broker, as the command line
// gives it. No URL: the station publishes nothing and opens no socket.
struct PlantOptions {
  static constexpr const char* kDefaultPrefix = "meterstation";
  // Messages kept on disk for the broker at most; about four days of a
  // station that takes a reading every four seconds.
  static constexpr std::int64_t kDefaultMaxWaiting = 100000;

  std::string url;  // mqtt://host[:port] or mqtts://host[:port]
  std::string prefix = kDefaultPrefix;
  std::string user;
  std::string passwordFile;  // the password itself never leaves its file
  std::string caFile;        // a private CA's certificate, for mqtts
  std::int64_t maxWaiting = kDefaultMaxWaiting;

  bool enabled() const { return !url.empty(); }
  bool operator==(const PlantOptions&) const = default;
};

}  // namespace meterstation
