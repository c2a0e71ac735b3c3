// The feed against a real mosquitto of the test's own: TLS with a CA the
// test makes and a password file, a login the broker refuses, and a
// broker that is not there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "fakes/fake_host.h"
#include "platform/mqtt/mqtt_plant_feed.h"
#include "platform/posix/durable_files.h"
#include "support/mosquitto_broker.h"
#include "support/scratch_dir.h"

namespace meterstation::testing {
namespace {

using testsupport::MosquittoBroker;
using testsupport::Subscriber;
using testsupport::waitUntil;

class RealBroker : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch.made()); }

  std::string path(const std::string& name) const { return scratch / name; }
  // A command of the test's own, quiet unless it fails.
  static bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
  }
  // A CA, and a certificate it signs for this machine's loopback.
  bool makeCertificates() {
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    std::ofstream(path("san.ext")) << "subjectAltName=DNS:localhost,IP:127.0.0.1\n";
    return run("openssl req -x509" + ec + " -keyout " + path("ca.key") + " -out " + path("ca.crt") +
               " -days 2 -subj /CN=site-ca") &&
           run("openssl req" + ec + " -keyout " + path("server.key") + " -out " +
               path("server.csr") + " -subj /CN=localhost") &&
           run("openssl x509 -req -in " + path("server.csr") + " -CA " + path("ca.crt") +
               " -CAkey " + path("ca.key") + " -CAcreateserial -out " + path("server.crt") +
               " -days 2 -extfile " + path("san.ext")) &&
           run("openssl req -x509" + ec + " -keyout " + path("other.key") + " -out " +
               path("other.crt") + " -days 2 -subj /CN=other-ca");
  }
  bool makePasswords() {
    std::ofstream(path("station.password")) << "s3cret\n";
    std::ofstream(path("wrong.password")) << "guess\n";
    return run("mosquitto_passwd -c -b " + path("passwd") + " op s3cret");
  }

  MqttPlantFeed& feed(const PlantOptions& options) {
    MqttPlantFeed::Setup setup;
    setup.options = options;
    setup.storeDir = path("store");
    setup.retryMin = std::chrono::milliseconds(100);
    setup.retryMax = std::chrono::milliseconds(300);
    feed_ = std::make_unique<MqttPlantFeed>(files, host, setup);
    return *feed_;
  }
  bool noticeWith(const std::string& part) {
    return waitUntil(
        [&] {
          for (const PlantNotice& n : feed_->takeNotices()) said.push_back(n.text);
          for (const std::string& n : said) {
            if (n.find(part) != std::string::npos) return true;
          }
          return false;
        },
        std::chrono::seconds(15));
  }
  std::string saidSoFar() const {
    std::string all;
    for (const std::string& n : said) all += n + "\n";
    return all;
  }

  testsupport::ScratchDir scratch{"plant-broker"};
  DurableFiles files;
  FakeHost host;
  std::vector<std::string> said;
  std::unique_ptr<MqttPlantFeed> feed_;
};

TEST_F(RealBroker, TlsWithThePrivateCaAndAPasswordFileDeliversAndAnotherCaIsRefused) {
  ASSERT_TRUE(makeCertificates());
  ASSERT_TRUE(makePasswords());
  MosquittoBroker broker(scratch.path(),
                         {"cafile " + path("ca.crt"), "certfile " + path("server.crt"),
                          "keyfile " + path("server.key"), "password_file " + path("passwd")});
  ASSERT_TRUE(broker.start()) << broker.log();
  Subscriber watcher(broker, scratch.path(), "meterstation/#",
                     {"--cafile", path("ca.crt"), "-u", "op", "-P", "s3cret"});
  ASSERT_TRUE(watcher.subscribed(broker))
      << broker.log() << MosquittoBroker::readAll(watcher.file());

  PlantOptions options;
  options.url = broker.url("mqtts");
  options.user = "op";
  options.passwordFile = path("station.password");
  options.caFile = path("ca.crt");
  MqttPlantFeed& tls = feed(options);
  tls.stationChosen("qN42");
  tls.publish({"meterstation/qN42/reading", "{\"id\":\"r-1\"}"});
  tls.publish({"meterstation/qN42/set", "{\"id\":\"r-2\"}"});
  ASSERT_TRUE(noticeWith("mqtt: publishing to " + broker.url("mqtts") + " as meterstation/qN42"))
      << saidSoFar() << broker.log();
  ASSERT_TRUE(waitUntil([&] { return watcher.messages().size() >= 3; }, std::chrono::seconds(15)))
      << broker.log();
  feed_.reset();
  ASSERT_TRUE(waitUntil([&] { return watcher.messages().size() >= 4; }, std::chrono::seconds(15)));
  const auto got = watcher.messages();
  EXPECT_EQ(got[0].topic + " " + got[0].payload, "meterstation/qN42/status online");
  EXPECT_EQ(got[1].topic + " " + got[1].payload, "meterstation/qN42/reading {\"id\":\"r-1\"}");
  EXPECT_EQ(got[2].topic + " " + got[2].payload, "meterstation/qN42/set {\"id\":\"r-2\"}");
  EXPECT_EQ(got[3].topic + " " + got[3].payload, "meterstation/qN42/status offline");

  // A CA that did not sign the broker's certificate: no connection, said.
  options.caFile = path("other.crt");
  MqttPlantFeed& wrongCa = feed(options);
  wrongCa.stationChosen("qN42");
  wrongCa.publish({"meterstation/qN42/reading", "{\"id\":\"r-3\"}"});
  EXPECT_TRUE(noticeWith("mqtt: cannot reach the broker at " + broker.url("mqtts") +
                         ": TLS: certificate verify failed"))
      << saidSoFar();
  EXPECT_FALSE(wrongCa.connected());
}

TEST_F(RealBroker, ARefusedLoginAndABrokerThatIsNotThereAreSaidOnceEach) {
  ASSERT_TRUE(makePasswords());
  MosquittoBroker broker(scratch.path(), {"password_file " + path("passwd")});
  ASSERT_TRUE(broker.start()) << broker.log();
  PlantOptions options;
  options.url = broker.url();
  options.user = "op";
  options.passwordFile = path("wrong.password");
  MqttPlantFeed& refused = feed(options);
  refused.stationChosen("qN42");
  refused.publish({"meterstation/qN42/reading", "{}"});
  ASSERT_TRUE(noticeWith("mqtt: the broker at " + broker.url() +
                         " refused the login of op: not authorised"))
      << saidSoFar() << broker.log();
  // Tried again meanwhile, and not said again.
  const auto attempts = [&] {
    const std::string log = broker.log();
    std::size_t count = 0;
    for (std::size_t at = 0; (at = log.find("New connection from", at)) != log.npos; ++at) ++count;
    return count;
  };
  ASSERT_TRUE(waitUntil([&] { return attempts() >= 3; }, std::chrono::seconds(10))) << broker.log();
  for (const PlantNotice& n : refused.takeNotices()) said.push_back(n.text);
  EXPECT_EQ(std::count_if(said.begin(), said.end(),
                          [](const std::string& n) { return n.find("refused") != n.npos; }),
            1)
      << saidSoFar();
  EXPECT_EQ(refused.waiting(), 1U);

  broker.stop();
  options.passwordFile = path("station.password");
  feed(options).stationChosen("qN42");
  EXPECT_TRUE(noticeWith("mqtt: cannot reach the broker at " + broker.url() +
                         ": no connection (refused, or no answer)"))
      << saidSoFar();
}

}  // namespace
}  // namespace meterstation::testing
