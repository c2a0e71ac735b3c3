// The feed's keeping and sending over links the test drives and files in
// memory: order, what a new link sends again, the bound, a failing disk,
// options that cannot work, a refused login, an earlier run's messages and
// a change of station.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "fakes/fake_host.h"
#include "mqtt/fake_broker_link.h"
#include "platform/mqtt/mqtt_plant_feed.h"
#include "support/scratch_dir.h"
#include "support/wait_until.h"

namespace meterstation::testing {
namespace {

using testsupport::waitUntil;

class FeedOverFakeLinks : public ::testing::Test {
 protected:
  static PlantOptions broker() {
    PlantOptions options;
    options.url = "mqtt://broker.site";
    return options;
  }
  MqttPlantFeed& make(const PlantOptions& options = broker()) {
    MqttPlantFeed::Setup setup;
    setup.options = options;
    setup.storeDir = dir();
    setup.links = links.factory();
    setup.retryMin = std::chrono::milliseconds(5);
    setup.retryMax = std::chrono::milliseconds(20);
    setup.endGrace = std::chrono::milliseconds(100);
    setup.offlineWait = std::chrono::milliseconds(10);
    feed = std::make_unique<MqttPlantFeed>(files, host, setup);
    return *feed;
  }
  // The store is a real directory, for the feed to make; its files are
  // the fake ones.
  std::string dir() const { return scratch.path() + "/mqtt"; }

  void publish(const std::vector<std::string>& payloads) {
    for (const std::string& p : payloads) feed->publish({"meterstation/s/reading", p});
  }
  std::size_t stored() {
    return files.call([&] {
      return static_cast<std::size_t>(std::count_if(
          files.inner.files.begin(), files.inner.files.end(),
          [&](const auto& f) { return f.first.starts_with(dir()) && f.first.ends_with(".msg"); }));
    });
  }
  // Every notice so far, in order.
  const std::vector<std::string>& notices() {
    for (const PlantNotice& n : feed->takeNotices()) said.push_back(n.text);
    return said;
  }
  std::size_t noticesWith(const std::string& part) {
    const auto& all = notices();
    return static_cast<std::size_t>(std::count_if(
        all.begin(), all.end(), [&](const std::string& n) { return n.find(part) != n.npos; }));
  }
  template <typename Condition>
  static bool eventually(Condition c) {
    return waitUntil(c, std::chrono::seconds(10), std::chrono::milliseconds(1));
  }

  testsupport::ScratchDir scratch{"plant-feed"};
  LockedFiles files;
  FakeHost host;
  FakeLinks links;
  std::vector<std::string> said;
  std::unique_ptr<MqttPlantFeed> feed;
};

TEST_F(FeedOverFakeLinks, SendsInOrderAndANewLinkSendsAgainFromTheOldestNotAcknowledged) {
  make();
  publish({"m1", "m2", "m3", "m4", "m5"});
  ASSERT_TRUE(eventually([&] { return stored() == 5; }));
  EXPECT_EQ(links.made(), 0U) << "no station, no link";

  feed->stationChosen("qN07");
  ASSERT_TRUE(eventually([&] { return links.made() == 1; }));
  const LinkSettings settings = links.settings(0);
  EXPECT_EQ(settings.clientId, "meterstation-qN07");
  EXPECT_EQ(settings.willTopic, "meterstation/qN07/status");
  EXPECT_EQ(settings.willPayload, "offline");
  links.up();
  ASSERT_TRUE(eventually([&] { return links.payloads(1).size() == 5; }));
  EXPECT_EQ(links.payloads(1), (std::vector<std::string>{"m1", "m2", "m3", "m4", "m5"}));
  const FakeLinks::Sent first = links.sent().front();
  EXPECT_EQ(first.topic, "meterstation/qN07/status");
  EXPECT_EQ(first.payload, "online");
  EXPECT_TRUE(first.retained);

  links.ack(2);
  ASSERT_TRUE(eventually([&] { return stored() == 3; }));
  links.down();
  ASSERT_TRUE(eventually([&] { return links.made() == 2; }));
  EXPECT_TRUE(links.payloads(2).empty()) << "nothing before the link is up";
  links.up();
  publish({"m6"});
  ASSERT_TRUE(eventually([&] { return links.payloads(2).size() == 4; }));
  EXPECT_EQ(links.payloads(2), (std::vector<std::string>{"m3", "m4", "m5", "m6"}));
  links.ack();
  ASSERT_TRUE(eventually([&] { return stored() == 0 && feed->waiting() == 0; }));
  EXPECT_EQ(noticesWith("lost the broker at mqtt://broker.site:1883: gone"), 1U);
  EXPECT_EQ(noticesWith("is back; "), 1U);
}

TEST_F(FeedOverFakeLinks, TheBoundIsSaidOnceAndWhatItLeftOutIsCountedWhenThereIsRoomAgain) {
  PlantOptions options = broker();
  options.maxWaiting = 3;
  make(options);
  publish({"m1", "m2", "m3", "m4", "m5"});
  ASSERT_TRUE(eventually([&] { return stored() == 3; }));
  EXPECT_EQ(feed->waiting(), 3U);
  EXPECT_EQ(noticesWith("3 messages wait for the broker, the most this station keeps"), 1U);

  feed->stationChosen("s");
  ASSERT_TRUE(eventually([&] { return links.made() == 1; }));
  links.up();
  ASSERT_TRUE(eventually([&] { return links.payloads(1).size() == 3; }));
  EXPECT_EQ(links.payloads(1), (std::vector<std::string>{"m1", "m2", "m3"}));
  links.ack(1);
  ASSERT_TRUE(eventually([&] { return noticesWith("2 messages were not kept") == 1; }));
}

TEST_F(FeedOverFakeLinks, OptionsThatCannotWorkAreSaidAndNothingConnectsButTheMessagesAreKept) {
  PlantOptions options = broker();
  options.url = "ftp://broker.site";
  options.user = "op";
  options.passwordFile = "/nowhere/password";
  make(options);
  EXPECT_EQ(noticesWith("mqtt: 'ftp://broker.site' is not a broker address: 'ftp://' is neither"),
            1U);
  EXPECT_EQ(noticesWith("mqtt: cannot read the password file /nowhere/password: No such file"), 1U);
  feed->stationChosen("s");
  publish({"m1"});
  ASSERT_TRUE(eventually([&] { return stored() == 1; }));
  EXPECT_EQ(links.made(), 0U);
}

TEST_F(FeedOverFakeLinks, AFailingDiskKeepsTheMessagesInMemoryAndSaysSoUntilItWritesAgain) {
  make();
  feed->stationChosen("s");
  ASSERT_TRUE(eventually([&] { return links.made() == 1; }));
  files.call([&] { return files.inner.missingDirs.insert(dir()).second; });
  publish({"m1"});
  ASSERT_TRUE(eventually([&] { return noticesWith("cannot be kept on disk: No such file") == 1; }));
  links.up();
  ASSERT_TRUE(eventually([&] { return links.payloads(1) == std::vector<std::string>{"m1"}; }));

  files.call([&] { return files.inner.missingDirs.erase(dir()); });
  publish({"m2"});
  ASSERT_TRUE(eventually([&] { return noticesWith("kept on disk again") == 1; }));
  ASSERT_TRUE(eventually([&] { return links.payloads(1).size() == 2; }));
  links.ack();
  ASSERT_TRUE(eventually([&] { return stored() == 0 && feed->waiting() == 0; }));
}

TEST_F(FeedOverFakeLinks, ARefusedLoginIsSaidOnceAndTriedAgain) {
  PlantOptions options = broker();
  options.user = "op";
  make(options);
  feed->stationChosen("s");
  ASSERT_TRUE(eventually([&] { return links.made() == 1; }));
  links.fail(true);
  ASSERT_TRUE(eventually([&] { return links.made() == 2; }));
  links.fail(true);
  ASSERT_TRUE(eventually([&] { return links.made() == 3; }));
  EXPECT_EQ(noticesWith("mqtt: the broker at mqtt://broker.site:1883 refused the login of op: no"),
            1U);
  links.up();
  publish({"m1"});
  ASSERT_TRUE(eventually([&] { return links.payloads(3).size() == 1; }));
}

TEST_F(FeedOverFakeLinks, TheMessagesOfARunThatIsGoneGoFirstAndThoseOfARunningOneStay) {
  files.inner.files[dir() + "/00000000100-77-000000000001.msg"] = "old/topic\nold1";
  files.inner.files[dir() + "/00000000100-77-000000000002.msg"] = "old/topic\nold2";
  files.inner.files[dir() + "/00000000100-77.lock"] = "77";
  files.inner.files[dir() + "/.00000000100-77-000000000003.msg.tmp-77-1"] = "old/to";
  files.inner.files[dir() + "/00000000200-88-000000000001.msg"] = "other/topic\nrunning";
  host.othersHold[dir() + "/00000000200-88.lock"] = 88;
  make();
  publish({"new"});
  feed->stationChosen("s");
  ASSERT_TRUE(eventually([&] { return links.made() == 1; }));
  links.up();
  ASSERT_TRUE(eventually([&] { return links.payloads(1).size() == 3; }));
  EXPECT_EQ(links.payloads(1), (std::vector<std::string>{"old1", "old2", "new"}));
  EXPECT_EQ(links.sent()[1].topic, "old/topic");
  EXPECT_EQ(noticesWith("2 messages of an earlier run wait for the broker"), 1U);
  links.ack();
  ASSERT_TRUE(eventually([&] { return stored() == 1; }));
  const auto there = [&](const std::string& name) {
    return files.call([&] { return files.inner.files.contains(dir() + "/" + name); });
  };
  EXPECT_FALSE(there("00000000100-77.lock"));
  EXPECT_FALSE(there(".00000000100-77-000000000003.msg.tmp-77-1"));
  EXPECT_TRUE(there("00000000200-88-000000000001.msg"));
}

TEST_F(FeedOverFakeLinks, AnotherStationSaysOfflineForTheFirstAndConnectsAsItself) {
  make();
  feed->stationChosen("qN07");
  ASSERT_TRUE(eventually([&] { return links.made() == 1; }));
  links.up();
  ASSERT_TRUE(eventually([&] { return links.sent().size() == 1; }));
  feed->stationChosen("qN08");
  ASSERT_TRUE(eventually([&] { return links.made() == 2; }));
  const FakeLinks::Sent offline = links.sent().back();
  EXPECT_EQ(offline.link, 1);
  EXPECT_EQ(offline.topic, "meterstation/qN07/status");
  EXPECT_EQ(offline.payload, "offline");
  EXPECT_EQ(links.settings(1).clientId, "meterstation-qN08");
  EXPECT_EQ(links.settings(1).willTopic, "meterstation/qN08/status");
}

}  // namespace
}  // namespace meterstation::testing
