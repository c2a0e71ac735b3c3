#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_comm.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_port_device.h"
#include "support/wait_until.h"

// COM1 is one end of a pair of pseudo-terminals that scripts/windows makes
// before the tests; METERSTATION_WIN32_PEER names the other end's Unix
// path, which Wine opens through its Z: drive as a serial port too.

namespace meterstation {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testsupport::waitUntil;

// The event thread, played by the test: calls wait until the test runs them.
class EventThread {
 public:
  Win32PortDevice::EventThreadPost poster() {
    return [this](std::function<void()> call) {
      const std::lock_guard<std::mutex> lock(mutex_);
      calls_.push_back(std::move(call));
    };
  }
  std::size_t queued() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return calls_.size();
  }
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
  void portFailed(PortError, const std::string&) override { ++failed; }
  void portDrained() override { ++drained; }

  int readable = 0;
  int drained = 0;
  bool closeWhenReadable = false;
  int failed = 0;
  std::string received;

 private:
  PortDevice& device_;
};

// The processor's end of the line.
class Peer {
 public:
  Peer() {
    const char* path = std::getenv("METERSTATION_WIN32_PEER");
    if (path == nullptr) return;
    std::string name = std::string("\\\\?\\Z:") + path;
    for (char& c : name) c = c == '/' ? '\\' : c;
    handle_ = OwnedHandle(CreateFileW(widen(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    // Without timeouts a read would wait for its whole buffer.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 1;
    timeouts.ReadTotalTimeoutConstant = 100;
    if (handle_.valid() && !SetCommTimeouts(handle_.get(), &timeouts)) handle_.reset();
    // What an earlier test left unread on the line is no part of this one.
    if (handle_.valid()) (void)PurgeComm(handle_.get(), PURGE_RXCLEAR);
  }
  bool ready() const { return handle_.valid(); }
  bool send(const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(handle_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
  }
  std::string receive(std::size_t count, Clock::duration patience = 5s) {
    std::string got;
    (void)waitUntil(
        [&] {
          char buffer[256];
          DWORD read = 0;
          if (ReadFile(handle_.get(), buffer, sizeof buffer, &read, nullptr))
            got.append(buffer, read);
          return got.size() >= count;
        },
        patience, [] {});
    return got;
  }

 private:
  OwnedHandle handle_;
};

class Win32PortDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(peer.ready()) << "run through scripts/windows --test"; }
  void open(const LineSettings& settings = {}) {
    const Result opened = device.open(1, settings);
    ASSERT_TRUE(opened.ok) << opened.error;
  }

  Peer peer;
  EventThread events;  // outlives the device, as the event loop does
  Win32PortDevice device{events.poster()};
  Listener listener{device};
};

TEST_F(Win32PortDeviceTest, ArrivalsKeepTheirBytesAndTheMomentsTheyCameWhileNobodyReads) {
  open();
  const std::string first("\x03\r\n\0\xff 12.5", 10);
  const std::string second = "B\r\n";
  const Clock::time_point beforeFirst = Clock::now();
  ASSERT_TRUE(peer.send(first));
  std::this_thread::sleep_for(300ms);
  const Clock::time_point beforeSecond = Clock::now();
  ASSERT_TRUE(peer.send(second));

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
  ASSERT_TRUE(peer.send("C"));
  ASSERT_TRUE(events.runUntil([&] { return !listener.received.empty(); }));
  EXPECT_EQ(listener.received, "C");
}

TEST_F(Win32PortDeviceTest, OutputReachesTheFarEndInOrderAndItsDrainIsTold) {
  open();
  const std::string stop = std::string("AT TESSARO:") + '\x03' + "\r\n";
  ASSERT_TRUE(device.write(stop).ok);
  EXPECT_EQ(peer.receive(stop.size()), stop);
  ASSERT_TRUE(events.runUntil([&] { return listener.drained == 1; }));
  EXPECT_FALSE(device.outputPending());

  // Writes queued behind each other leave in order, and one drain follows
  // the last of them.
  std::string all;
  for (char c = 'a'; c <= 'z'; ++c) {
    all += std::string(64, c);
    ASSERT_TRUE(device.write(std::string(64, c)).ok);
  }
  EXPECT_TRUE(device.outputPending());
  const Result finished = device.finishOutput(10000);
  EXPECT_TRUE(finished.ok) << finished.error;
  EXPECT_EQ(peer.receive(all.size()), all);
  ASSERT_TRUE(events.runUntil([&] { return listener.drained == 2; }));
  events.runUntil([] { return false; }, 200ms);
  EXPECT_EQ(listener.drained, 2);
}

TEST_F(Win32PortDeviceTest, TheLineTakesTheSettingsWithoutFlowControl) {
  open({1200, 'E', 7, StopBits::OneAndHalf});
  // Wine lets a second handle at the port, whose state is the line's own.
  const OwnedHandle line(
      CreateFileW(L"\\\\.\\COM1", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(line.valid()) << systemReason(GetLastError());
  DCB seen{};
  seen.DCBlength = sizeof seen;
  ASSERT_TRUE(GetCommState(line.get(), &seen));
  EXPECT_EQ(seen.BaudRate, 1200u);
  // One and a half stop bits are two with more than five data bits.
  EXPECT_EQ(seen.StopBits, TWOSTOPBITS);
  EXPECT_FALSE(seen.fOutxCtsFlow || seen.fOutxDsrFlow || seen.fOutX || seen.fInX);
}

TEST_F(Win32PortDeviceTest, APortHeldByAnotherStationIsRefusedUntilItIsLetGo) {
  open();
  Win32PortDevice other(events.poster());
  const Result refused = other.open(1, {});
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.error, systemReason(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(other.isOpen());

  device.close();
  const Result taken = other.open(1, {});
  EXPECT_TRUE(taken.ok) << taken.error;

  // scripts/windows names no COM4.
  EXPECT_EQ(device.open(4, {}).error, systemReason(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(device.isOpen());
}

TEST_F(Win32PortDeviceTest, ClosingStopsTheThreadsAndLeavesNoCallThatStillActs) {
  open();
  ASSERT_TRUE(peer.send("one"));
  ASSERT_TRUE(waitUntil([&] { return events.queued() > 0; }, 5s));
  device.close();  // the reader waits on the line meanwhile
  EXPECT_FALSE(device.isOpen());
  open();
  events.runQueued();
  EXPECT_EQ(listener.readable, 0);

  listener.closeWhenReadable = true;
  ASSERT_TRUE(peer.send("two"));
  ASSERT_TRUE(events.runUntil([&] { return listener.readable > 0; }));
  EXPECT_EQ(listener.received, "two");
  EXPECT_FALSE(device.isOpen());

  auto gone = std::make_unique<Win32PortDevice>(events.poster());
  Listener goneListener(*gone);
  ASSERT_TRUE(gone->open(1, {}).ok);
  ASSERT_TRUE(gone->write("bye").ok);
  ASSERT_TRUE(peer.send("three"));
  ASSERT_TRUE(waitUntil([&] { return events.queued() > 0; }, 5s));
  gone.reset();
  events.runQueued();
  EXPECT_EQ(goneListener.readable, 0);
  EXPECT_EQ(goneListener.drained, 0);
  EXPECT_EQ(goneListener.failed, 0);
}

}  // namespace
}  // namespace meterstation
