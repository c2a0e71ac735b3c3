#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/serial/port_notifier.h"
#include "support/queued_event_thread.h"

namespace meterstation {
namespace {

// Keeps what it was told, in order.
class ToldListener : public PortListener {
 public:
  void portReadable() override {
    told += "readable ";
    if (onReadable) onReadable();
  }
  void portFailed(PortError, const std::string& reason) override { told += reason + " "; }
  void portDrained() override { told += "drained "; }

  std::string told;
  std::function<void()> onReadable;
};

class PortNotifierTest : public ::testing::Test {
 protected:
  void SetUp() override { notifier.setListener(&listener); }
  // What a device does when its port opens.
  void open() {
    notifier.opened();
    news = std::make_unique<PortNews>(notifier.poster([this] { notifier.deliverNews(*news); }));
  }

  testsupport::QueuedEventThread events;
  ToldListener listener;
  PortNotifier notifier{events.poster()};
  std::unique_ptr<PortNews> news;
};

TEST_F(PortNotifierTest, ACallPostedForAnOpenThatEndedDoesNothingEvenOnceThePortIsOpenAgain) {
  open();
  const std::function<void()> drainedOfFirstOpen =
      notifier.poster([this] { notifier.tellDrained(); });
  drainedOfFirstOpen();
  notifier.closed();
  open();
  // A thread of the first open may still post after the port opened again.
  drainedOfFirstOpen();
  notifier.poster([this] { notifier.tellDrained(); })();
  events.runQueued();
  EXPECT_EQ(listener.told, "drained ");
}

TEST_F(PortNotifierTest, TheFailureFollowsTheBytesUnlessTheListenerClosedThePortOnThem) {
  open();
  news->queue("last");
  news->fail({PortError::Resource, "gone"});
  events.runQueued();
  EXPECT_EQ(listener.told, "readable gone ");

  listener.told.clear();
  open();
  listener.onReadable = [this] { notifier.closed(); };
  news->queue("last");
  news->fail({PortError::Resource, "gone"});
  events.runQueued();
  EXPECT_EQ(listener.told, "readable ");
}

}  // namespace
}  // namespace meterstation
