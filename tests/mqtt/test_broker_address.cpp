#include <gtest/gtest.h>

#include "platform/mqtt/broker_address.h"

namespace meterstation {
namespace {

TEST(BrokerAddress, TakesHostsAndPortsOfBothSchemes) {
  struct Case {
    const char* url;
    bool tls;
    const char* host;
    int port;
  };
  for (const Case& c : {Case{"mqtt://broker.site", false, "broker.site", 1883},
                        Case{"mqtts://broker.site", true, "broker.site", 8883},
                        Case{"MQTT://10.0.0.7:1884/", false, "10.0.0.7", 1884},
                        Case{"mqtts://[fd00::1]:8884", true, "[fd00::1]", 8884},
                        Case{"mqtt://[::1]", false, "[::1]", 1883}}) {
    const BrokerAddress a = parseBrokerUrl(c.url);
    ASSERT_TRUE(a.ok()) << c.url << ": " << a.error;
    EXPECT_EQ(a.tls, c.tls) << c.url;
    EXPECT_EQ(a.host, c.host) << c.url;
    EXPECT_EQ(a.port, c.port) << c.url;
  }
  EXPECT_EQ(parseBrokerUrl("mqtts://b:1").libraryUri(), "ssl://b:1");
  EXPECT_EQ(parseBrokerUrl("mqtt://b").shown(), "mqtt://b:1883");
}

TEST(BrokerAddress, RefusesWhatIsNoBrokerWithItsReason) {
  for (const auto& [url, reason] : std::vector<std::pair<const char*, const char*>>{
           {"broker.site", "it does not start with mqtt:// or mqtts://"},
           {"tcp://broker.site", "'tcp://' is neither mqtt:// nor mqtts://"},
           {"mqtt://", "there is no host"},
           {"mqtt://:1883", "there is no host"},
           {"mqtt://b:0", "'0' is not a port (1 to 65535)"},
           {"mqtt://b:65536", "'65536' is not a port (1 to 65535)"},
           {"mqtt://b:18x3", "'18x3' is not a port (1 to 65535)"},
           {"mqtt://b:", "'' is not a port (1 to 65535)"},
           {"mqtt://op:secret@b",
            "a user goes in --mqtt-user and a password in --mqtt-password-file"},
           {"mqtt://b/plant", "only a host and a port may follow the scheme"},
           {"mqtt://b c", "'b c' is not a host name or address"},
           {"mqtt://[fd00::1", "the IPv6 address has no closing ]"},
           {"mqtt://[fd00::1]x", "something follows the IPv6 address"}}) {
    const BrokerAddress a = parseBrokerUrl(url);
    EXPECT_FALSE(a.ok()) << url;
    EXPECT_EQ(a.error, reason) << url;
  }
}

}  // namespace
}  // namespace meterstation
