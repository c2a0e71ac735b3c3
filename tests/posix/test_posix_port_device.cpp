#include <stdlib.h>
#include <termios.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/posix/posix_port_device.h"
#include "support/port_device_checks.h"
#include "support/pseudo_terminal.h"
#include "support/queued_event_thread.h"
#include "support/reading_listener.h"
#include "support/wait_until.h"

namespace meterstation {
namespace {

using namespace std::chrono_literals;
using testsupport::QueuedEventThread;
using testsupport::ReadingListener;
using testsupport::waitUntil;

class PosixPortDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(line.slaveName().empty());
    ::setenv("METERSTATION_COM1", line.slaveName().c_str(), 1);
  }
  void TearDown() override { ::unsetenv("METERSTATION_COM1"); }
  void open(const LineSettings& settings = {}) {
    const Result opened = device.open(1, settings);
    ASSERT_TRUE(opened.ok) << opened.error;
  }
  termios seenByTheLine() {
    termios seen{};
    // The master of a pseudo-terminal reports its other end's settings.
    EXPECT_EQ(::tcgetattr(line.master(), &seen), 0);
    return seen;
  }
  testsupport::DeviceRig rig() {
    return {device, events, listener, [this](const std::string& bytes) { return line.send(bytes); },
            [this] { return std::make_unique<PosixPortDevice>(events.poster()); }};
  }

  QueuedEventThread events;  // outlives the device, as the event loop does
  testsupport::PseudoTerminal line;
  PosixPortDevice device{events.poster()};
  ReadingListener listener{device};
};

TEST_F(PosixPortDeviceTest, ArrivalsKeepTheirBytesAndTheMomentsTheyCameWhileNobodyReads) {
  testsupport::expectArrivalsKeepTheirMoments(rig());
}

TEST_F(PosixPortDeviceTest, TheLineTakesTheSettingsRawAndWithoutFlowControl) {
  open({1200, 'E', 7, StopBits::OneAndHalf});
  termios seen = seenByTheLine();
  EXPECT_EQ(::cfgetospeed(&seen), static_cast<speed_t>(B1200));
  // A pseudo-terminal keeps eight bits and no parity bit whatever it is
  // asked; the rest of the shape shows.
  const tcflag_t shape = PARODD | CMSPAR | CSTOPB | CRTSCTS | CLOCAL | CREAD;
  EXPECT_EQ(seen.c_cflag & shape, static_cast<tcflag_t>(CSTOPB | CLOCAL | CREAD));
  EXPECT_EQ(seen.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(seen.c_iflag & (IXON | IXOFF | ICRNL | INPCK | ISTRIP), 0u);
  EXPECT_EQ(seen.c_oflag & OPOST, 0u);

  open({300, 'M', 8, StopBits::One});
  seen = seenByTheLine();
  EXPECT_EQ(seen.c_cflag & shape, static_cast<tcflag_t>(PARODD | CMSPAR | CLOCAL | CREAD));

  // A rate termios has no name for is no reason to refuse the port.
  const Result odd = device.open(1, {250000, 'N', 8, StopBits::One});
  EXPECT_TRUE(odd.ok) << odd.error;
}

TEST_F(PosixPortDeviceTest, AHangUpIsToldOnceAfterTheBytesBeforeIt) {
  open();
  // Read by the device, not yet by the event thread, when the line goes: a
  // hang-up takes with it what the terminal had not handed over.
  ASSERT_TRUE(line.send("last\r\n"));
  ASSERT_TRUE(waitUntil([&] { return events.queued() > 0; }, 5s));
  line.hangUp();
  ASSERT_TRUE(events.runUntil([&] { return !listener.errors.empty(); }));
  EXPECT_EQ(listener.receivedBeforeFailure, "last\r\n");
  EXPECT_EQ(listener.errors.front(), PortError::Resource);
  EXPECT_EQ(listener.reasons.front(), "the device hung up");

  // A dead line is no news again; closing it is the listener's decision.
  events.runUntil([] { return false; }, 300ms);
  EXPECT_EQ(listener.errors.size(), 1u);
  EXPECT_TRUE(device.isOpen());
  EXPECT_TRUE(device.read().empty());
  EXPECT_FALSE(device.write("AT").ok);
}

TEST_F(PosixPortDeviceTest, APortHeldByAnotherOpenerIsRefusedUntilItIsLetGo) {
  open();
  PosixPortDevice other(events.poster());
  const Result refused = other.open(1, {});
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.error, std::strerror(EBUSY));
  EXPECT_FALSE(other.isOpen());

  device.close();
  const Result taken = other.open(1, {});
  EXPECT_TRUE(taken.ok) << taken.error;

  ::setenv("METERSTATION_COM2", (line.slaveName() + ".missing").c_str(), 1);
  EXPECT_EQ(device.open(2, {}).error, std::strerror(ENOENT));
  ::unsetenv("METERSTATION_COM2");
}

TEST_F(PosixPortDeviceTest, OutputReachesTheLineInOrderAndItsDrainIsTold) {
  open();
  const std::string stop = std::string("AT TESSARO:") + '\x03' + "\r\n";
  ASSERT_TRUE(device.write(stop).ok);
  EXPECT_EQ(line.receive(stop.size()), stop);
  ASSERT_TRUE(events.runUntil([&] { return listener.drained == 1; }));
  EXPECT_FALSE(device.outputPending());

  // Far more than a pseudo-terminal holds while nobody reads it: what the
  // driver cannot take yet waits in the device.
  const std::string bulk(std::size_t{256} * 1024, 'x');
  ASSERT_TRUE(device.write(bulk).ok);
  ASSERT_TRUE(device.write(stop).ok);
  EXPECT_EQ(device.finishOutput(100).error, notLeftWithin(100));
  events.runQueued();
  EXPECT_TRUE(device.outputPending());

  std::atomic<bool> stopReading{false};
  std::string got;
  std::thread processor([&] { got = line.receiveUntil(bulk.size() + stop.size(), stopReading); });
  const Result finished = device.finishOutput(10000);
  EXPECT_TRUE(finished.ok) << finished.error;
  EXPECT_TRUE(events.runUntil([&] { return listener.drained == 2; }));
  stopReading = true;
  processor.join();
  EXPECT_EQ(got.size(), bulk.size() + stop.size());
  EXPECT_TRUE(got == bulk + stop);
}

TEST_F(PosixPortDeviceTest, ClosingStopsTheReaderAndLeavesNoCallThatStillActs) {
  testsupport::expectNoCallActsOnceClosed(rig());
}

}  // namespace
}  // namespace meterstation
