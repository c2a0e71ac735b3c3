#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/serial/port_news.h"

namespace meterstation {
namespace {

using Clock = std::chrono::steady_clock;

class PortNewsTest : public ::testing::Test {
 protected:
  int posts = 0;
  PortNews news{[this] { ++posts; }};
};

TEST_F(PortNewsTest, OneCallIsPostedForAllThatArrivesUntilTheNewsIsTaken) {
  const Clock::time_point before = Clock::now();
  news.queue("12.5");
  news.queue("\r\n");
  const Clock::time_point after = Clock::now();
  EXPECT_EQ(posts, 1);

  EXPECT_TRUE(news.take().bytes);
  news.queue("B");
  EXPECT_EQ(posts, 2);

  const std::vector<Arrival> arrivals = news.takeArrivals();
  ASSERT_EQ(arrivals.size(), 3u);
  EXPECT_EQ(arrivals[0].bytes + arrivals[1].bytes + arrivals[2].bytes, "12.5\r\nB");
  EXPECT_GE(arrivals[0].at, before);
  EXPECT_LE(arrivals[0].at, arrivals[1].at);
  EXPECT_LE(arrivals[1].at, after);
  EXPECT_TRUE(news.takeArrivals().empty());
  EXPECT_FALSE(news.take().bytes);
}

TEST_F(PortNewsTest, TheFirstFailureIsToldOnceWithTheBytesReadBeforeIt) {
  news.queue("last\r\n");
  news.fail({PortError::Resource, "the device hung up"});
  news.fail({PortError::Write, "a later write failed too"});
  EXPECT_EQ(posts, 1);

  const PortNews::News first = news.take();
  EXPECT_TRUE(first.bytes);
  ASSERT_TRUE(first.failure);
  EXPECT_EQ(first.failure->error, PortError::Resource);
  EXPECT_EQ(first.failure->reason, "the device hung up");
  ASSERT_EQ(news.takeArrivals().size(), 1u);

  // A dead port is no news again, and stays dead for the next write.
  news.fail({PortError::Read, "and a read"});
  EXPECT_EQ(posts, 1);
  EXPECT_FALSE(news.take().failure);
  ASSERT_TRUE(news.failure());
  EXPECT_EQ(news.failure()->error, PortError::Resource);
}

}  // namespace
}  // namespace meterstation
