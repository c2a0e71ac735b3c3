#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_comm.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_port_device.h"
#include "support/port_device_checks.h"
#include "support/queued_event_thread.h"
#include "support/reading_listener.h"
#include "support/wait_until.h"

// COM1 is one end of a pair of pseudo-terminals that scripts/windows makes
// before the tests; METERSTATION_WIN32_PEER names the other end's Unix
// path, which Wine opens through its Z: drive as a serial port too.

namespace meterstation {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testsupport::QueuedEventThread;
using testsupport::ReadingListener;
using testsupport::waitUntil;

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
  testsupport::DeviceRig rig() {
    return {device, events, listener, [this](const std::string& bytes) { return peer.send(bytes); },
            [this] { return std::make_unique<Win32PortDevice>(events.poster()); }};
  }

  Peer peer;
  QueuedEventThread events;  // outlives the device, as the event loop does
  Win32PortDevice device{events.poster()};
  ReadingListener listener{device};
};

TEST_F(Win32PortDeviceTest, ArrivalsKeepTheirBytesAndTheMomentsTheyCameWhileNobodyReads) {
  testsupport::expectArrivalsKeepTheirMoments(rig());
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
  testsupport::expectNoCallActsOnceClosed(rig());
}

}  // namespace
}  // namespace meterstation
