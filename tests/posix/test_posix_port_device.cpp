#include <stdlib.h>
#include <termios.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/posix/posix_port_device.h"
#include "support/pseudo_terminal.h"
#include "support/wait_until.h"

namespace meterstation {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testsupport::waitUntil;

// The event thread, played by the test: calls wait until the test runs them.
class EventThread {
 public:
  PosixPortDevice::EventThreadPost poster() {
    return [this](std::function<void()> call) {
      const std::lock_guard<std::mutex> lock(mutex_);
      calls_.push_back(std::move(call));
    };
  }
  std::size_t queued() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return calls_.size();
  }
  // Runs what is queued, and whatever that queues, until nothing is.
  void runQueued() {
    for (;;) {
      std::function<void()> call;
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (calls_.empty()) return;
        call = std::move(calls_.front());
        calls_.pop_front();
      }
      call();
    }
  }
  bool runUntil(const std::function<bool()>& condition, Clock::duration patience = 5s) {
    return waitUntil(condition, patience, [this] {
      runQueued();
      std::this_thread::sleep_for(5ms);
    });
  }

 private:
  mutable std::mutex mutex_;
  std::deque<std::function<void()>> calls_;
};

// Reads what arrived whenever it is told, as the serial link does.
class Listener : public PortListener {
 public:
  explicit Listener(PortDevice& device) : device_(device) { device.setListener(this); }
  void portReadable() override {
    ++readable;
    for (const Arrival& arrival : device_.read()) received += arrival.bytes;
    if (closeWhenReadable) device_.close();
  }
  void portFailed(PortError error, const std::string& reason) override {
    errors.push_back(error);
    reasons.push_back(reason);
    receivedBeforeFailure = received;
  }
  void portDrained() override { ++drained; }

  int readable = 0;
  int drained = 0;
  bool closeWhenReadable = false;
  std::string received;
  std::string receivedBeforeFailure;
  std::vector<PortError> errors;
  std::vector<std::string> reasons;

 private:
  PortDevice& device_;
};

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

  EventThread events;  // outlives the device, as the event loop does
  testsupport::PseudoTerminal line;
  PosixPortDevice device{events.poster()};
  Listener listener{device};
};

TEST_F(PosixPortDeviceTest, ArrivalsKeepTheirBytesAndTheMomentsTheyCameWhileNobodyReads) {
  open();
  // Raw: no byte is translated, swallowed or taken for a signal.
  const std::string first("\x03\r\n\0\xff 12.5", 10);
  const std::string second = "B\r\n";
  const Clock::time_point beforeFirst = Clock::now();
  ASSERT_TRUE(line.send(first));
  std::this_thread::sleep_for(300ms);
  const Clock::time_point beforeSecond = Clock::now();
  ASSERT_TRUE(line.send(second));

  // The event thread was busy all along; only now does it read.
  std::vector<Arrival> arrivals;
  std::string bytes;
  ASSERT_TRUE(waitUntil(
      [&] {
        const std::vector<Arrival> more = device.read();
        for (const Arrival& arrival : more) bytes += arrival.bytes;
        arrivals.insert(arrivals.end(), more.begin(), more.end());
        return bytes.size() >= first.size() + second.size();
      },
      5s));
  EXPECT_EQ(bytes, first + second);
  std::size_t firstChunks = 0;
  for (std::string seen; seen.size() < first.size(); ++firstChunks) {
    seen += arrivals[firstChunks].bytes;
  }
  ASSERT_LT(firstChunks, arrivals.size());
  for (std::size_t i = 0; i < arrivals.size(); ++i) {
    const bool ofFirst = i < firstChunks;
    EXPECT_GE(arrivals[i].at, ofFirst ? beforeFirst : beforeSecond) << i;
    if (ofFirst) {
      EXPECT_LT(arrivals[i].at, beforeSecond) << i;
    }
    if (i > 0) {
      EXPECT_GE(arrivals[i].at, arrivals[i - 1].at) << i;
    }
  }
  EXPECT_GE(arrivals[firstChunks].at - arrivals[firstChunks - 1].at, 200ms);

  // One call was asked of the event thread for all of it; once it has run,
  // the next bytes ask again.
  EXPECT_EQ(events.queued(), 1u);
  events.runQueued();
  ASSERT_TRUE(line.send("C"));
  ASSERT_TRUE(events.runUntil([&] { return !listener.received.empty(); }));
  EXPECT_EQ(listener.received, "C");
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
  open();
  ASSERT_TRUE(line.send("one"));
  ASSERT_TRUE(waitUntil([&] { return events.queued() > 0; }, 5s));
  device.close();  // the reader waits on the line meanwhile
  EXPECT_FALSE(device.isOpen());
  open();
  events.runQueued();
  EXPECT_EQ(listener.readable, 0);

  listener.closeWhenReadable = true;
  ASSERT_TRUE(line.send("two"));
  ASSERT_TRUE(events.runUntil([&] { return listener.readable > 0; }));
  EXPECT_EQ(listener.received, "two");
  EXPECT_FALSE(device.isOpen());

  auto gone = std::make_unique<PosixPortDevice>(events.poster());
  Listener goneListener(*gone);
  ASSERT_TRUE(gone->open(1, {}).ok);
  ASSERT_TRUE(line.send("three"));
  ASSERT_TRUE(waitUntil([&] { return events.queued() > 0; }, 5s));
  gone.reset();
  events.runQueued();
  EXPECT_EQ(goneListener.readable, 0);
}

}  // namespace
}  // namespace meterstation
