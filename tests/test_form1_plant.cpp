// What the station hands to the site's broker feed: every accepted reading,
// each completed set with its database line, each listed alarm, in the
// order the station takes them; and what the feed tells the operator.
#include <gtest/gtest.h>

#include "fakes/fake_plant_feed.h"
#include "fakes/station_harness.h"

namespace meterstation::testing {
namespace {

std::string plantReadingText(int meter, int value = 123) {
  return readingOf(meter, value).substr(0, 40);
}

class Form1Plant : public ::testing::Test {
 protected:
  void SetUp() override {
    options.url = "mqtt://broker.site";
    options.prefix = "site";
    s.form.attachPlantFeed(feed, options);
    s.window.texts[TextId::Text3] = "5";
    s.openPort();
    s.synchronise();
  }
  // The readings of meters `from` to `to`, each at 08:00:<meter>.
  void readings(int from, int to, int value = 123) {
    for (int m = from; m <= to; ++m) {
      char time[16];
      std::snprintf(time, sizeof time, "08:00:%02d", m);
      s.clock.time = time;
      ASSERT_TRUE(s.burst(readingOf(m, value)));
    }
  }
  std::string payload(std::size_t index) const { return feed.published.at(index).payload; }

  StationHarness s;
  FakePlantFeed feed;
  PlantOptions options;
};

TEST_F(Form1Plant, AFullSetIsSixteenReadingsThenTheSetWithTheLineTheDatabaseGot) {
  EXPECT_EQ(feed.stations, std::vector<std::string>{"qN07"});
  EXPECT_TRUE(feed.published.empty()) << "the synchronising burst is no reading";
  readings(1, 8);
  s.burst("bad\r\n");
  readings(9, 16);
  ASSERT_EQ(feed.published.size(), 17U) << "the bad reading is not published";
  for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(feed.published[i].topic, "site/qN07/reading");
  EXPECT_EQ(feed.published[16].topic, "site/qN07/set");
  EXPECT_EQ(payload(0), "{\"id\":\"run-1\",\"meter\":1,\"reading\":\"" + plantReadingText(1) +
                            "\",\"fields\":[\"01\",\"123\",\"04567\",\"12345\",\"089\",\"00012\","
                            "\"00345\",\"12345\"],\"value\":123,\"time\":\"2026-12-08T08:00:01\"}");
  const std::string db = s.files.contents(s.workFile("qn.db1"));
  ASSERT_EQ(db.size(), 678U);
  EXPECT_EQ(payload(16), "{\"id\":\"run-17\",\"line\":\"" + db.substr(0, 676) +
                             "\",\"time\":\"2026-12-08T08:00:16\",\"database\":true}");
}

TEST_F(Form1Plant, ASetTheDatabaseIntervalLeavesOutIsPublishedAndSaysSo) {
  s.form.state().dbCountdown = 1;
  s.form.state().dbInterval = 1;
  readings(1, 16);
  EXPECT_FALSE(s.files.exists(s.workFile("qn.db1")));
  ASSERT_EQ(feed.published.size(), 17U);
  EXPECT_NE(payload(16).find("\",\"database\":false}"), std::string::npos) << payload(16);
}

TEST_F(Form1Plant, EachListedAlarmFollowsItsReadingWithItsKindAndLimit) {
  s.form.state().lowTable[3] = 50;
  s.form.state().highTable[3] = 200;
  s.clock.time = "09:10:11";
  s.burst(readingOf(3, 201));
  s.burst(readingOf(3, 49));
  s.burst(readingOf(3, 100));
  EXPECT_EQ(feed.topics(),
            (std::vector<std::string>{"site/qN07/reading", "site/qN07/alarm", "site/qN07/reading",
                                      "site/qN07/alarm", "site/qN07/reading"}));
  EXPECT_EQ(payload(1),
            "{\"id\":\"run-2\",\"meter\":3,\"kind\":\"high\",\"value\":201,"
            "\"limit\":200,\"time\":\"2026-12-08T09:10:11\"}");
  EXPECT_EQ(payload(3),
            "{\"id\":\"run-4\",\"meter\":3,\"kind\":\"low\",\"value\":49,"
            "\"limit\":50,\"time\":\"2026-12-08T09:10:11\"}");
}

TEST_F(Form1Plant, TheFeedsNewsIsListedProblemsAlsoOnStandardErrorAndItsOptionsRemembered) {
  feed.pending = {{"mqtt: publishing to mqtt://broker.site:1883 as site/qN07", false},
                  {"mqtt: lost the broker", true}};
  s.form.Plant_Notice();
  EXPECT_EQ(std::vector<std::string>(s.window.list2.end() - 2, s.window.list2.end()),
            (std::vector<std::string>{"mqtt: publishing to mqtt://broker.site:1883 as site/qN07",
                                      "mqtt: lost the broker"}));
  EXPECT_EQ(s.host.errors, std::vector<std::string>{"meterstation: mqtt: lost the broker"});
  ASSERT_TRUE(s.settings.stored);
  EXPECT_EQ(s.settings.stored->plant, options);
}

}  // namespace
}  // namespace meterstation::testing
