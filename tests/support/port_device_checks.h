#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/serial/port_device.h"
#include "support/queued_event_thread.h"
#include "support/reading_listener.h"
#include "support/two_bursts.h"
#include "support/wait_until.h"

namespace meterstation::testsupport {

// A serial device as its tests drive it, whatever carries its line: port 1
// names the line, send is the far end's write, and another makes one more
// device of the same kind that posts to the same event thread.
struct DeviceRig {
  PortDevice& device;
  QueuedEventThread& events;
  ReadingListener& listener;
  std::function<bool(const std::string&)> send;
  std::function<std::unique_ptr<PortDevice>()> another;
};

// Bytes are read and stamped as they arrive while the event thread is
// busy, and one call is asked of it for all of them.
inline void expectArrivalsKeepTheirMoments(DeviceRig rig) {
  ASSERT_TRUE(rig.device.open(1, {}).ok);
  TwoBursts bursts;
  ASSERT_TRUE(bursts.sendApart(rig.send));
  // The event thread was busy all along; only now does it read.
  bursts.expectReadFrom(rig.device);

  // Once that call has run, the next bytes ask again.
  EXPECT_EQ(rig.events.queued(), 1u);
  rig.events.runQueued();
  ASSERT_TRUE(rig.send("C"));
  ASSERT_TRUE(rig.events.runUntil([&] { return !rig.listener.received.empty(); }));
  EXPECT_EQ(rig.listener.received, "C");
}

// A call still queued when the port closes does nothing: not after the
// port opened again, not when the listener closed it, not once the device
// is gone.
inline void expectNoCallActsOnceClosed(DeviceRig rig) {
  const auto anyQueued = [&] { return rig.events.queued() > 0; };
  ASSERT_TRUE(rig.device.open(1, {}).ok);
  ASSERT_TRUE(rig.send("one"));
  ASSERT_TRUE(waitUntil(anyQueued, std::chrono::seconds(5)));
  rig.device.close();  // the threads wait on the line meanwhile
  EXPECT_FALSE(rig.device.isOpen());
  ASSERT_TRUE(rig.device.open(1, {}).ok);
  rig.events.runQueued();
  EXPECT_EQ(rig.listener.readable, 0);

  rig.listener.closeWhenReadable = true;
  ASSERT_TRUE(rig.send("two"));
  ASSERT_TRUE(rig.events.runUntil([&] { return rig.listener.readable > 0; }));
  EXPECT_EQ(rig.listener.received, "two");
  EXPECT_FALSE(rig.device.isOpen());

  std::unique_ptr<PortDevice> gone = rig.another();
  ReadingListener goneListener(*gone);
  ASSERT_TRUE(gone->open(1, {}).ok);
  ASSERT_TRUE(gone->write("bye").ok);
  ASSERT_TRUE(rig.send("three"));
  ASSERT_TRUE(waitUntil(anyQueued, std::chrono::seconds(5)));
  gone.reset();
  rig.events.runQueued();
  EXPECT_EQ(goneListener.readable, 0);
  EXPECT_EQ(goneListener.drained, 0);
  EXPECT_TRUE(goneListener.errors.empty());
}

}  // namespace meterstation::testsupport
