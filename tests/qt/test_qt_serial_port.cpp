#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QThread>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/qt/qt_serial_port.h"
#include "platform/serial/memory_port.h"
#include "serial/comm_log.h"
#include "support/event_loop_wait.h"
#include "support/line_settings_text.h"
#include "support/pseudo_terminal.h"
#include "support/scratch_dir_test.h"

namespace meterstation {
namespace {

using testing::CommLog;
using testsupport::runEventsFor;
using testsupport::waitWithEvents;

// The processor's end of the line; the event loop runs while it waits.
class PseudoTerminal : public testsupport::PseudoTerminal {
 public:
  PseudoTerminal() : testsupport::PseudoTerminal([] { runEventsFor(5); }) {}
};

// Port 1 is a symbolic link that the test points at a pseudo-terminal, as
// an operator would point METERSTATION_COM1 at a USB adapter.
class QtSerialPortTest : public testsupport::ScratchDirTest {
 protected:
  QtSerialPortTest() : ScratchDirTest("meterstation-serial") {}
  void SetUp() override {
    ScratchDirTest::SetUp();
    if (HasFatalFailure()) return;
    link_ = path("ttyStation");
    ::setenv("METERSTATION_COM1", link_.c_str(), 1);
    port.bind(log);
    port.setCommPort(1);
  }
  void TearDown() override {
    ASSERT_TRUE(port.setPortOpen(false).ok);
    ::unsetenv("METERSTATION_COM1");
  }
  void pointAt(const PseudoTerminal& line) {
    ASSERT_FALSE(line.slaveName().empty());
    const std::string fresh = link_ + ".new";
    ASSERT_EQ(::symlink(line.slaveName().c_str(), fresh.c_str()), 0);
    ASSERT_EQ(::rename(fresh.c_str(), link_.c_str()), 0);
  }
  void openOn(const PseudoTerminal& line) {
    pointAt(line);
    const Result opened = port.setPortOpen(true);
    ASSERT_TRUE(opened.ok) << opened.error;
    ASSERT_TRUE(port.portOpen());
  }
  // Waits for one more notification than seen so far.
  bool nextNotification() {
    const std::size_t seen = log.kinds.size();
    return waitWithEvents([&] { return log.kinds.size() > seen; });
  }

  std::string link_;
  QtSerialPort port;
  CommLog log{port};
};

TEST_F(QtSerialPortTest, EveryArrivalNotifiesAndInputReturnsAllOfItOnce) {
  PseudoTerminal line;
  openOn(line);

  ASSERT_TRUE(line.send("DATA 1\r\n"));
  ASSERT_TRUE(nextNotification());
  EXPECT_EQ(log.kinds.back(), CommEvent::Receive);
  EXPECT_EQ(port.input(), "DATA 1\r\n");
  EXPECT_EQ(port.input(), "");

  // A burst that reaches the station in several pieces, each with its own
  // notification, is returned whole by the next read, odd bytes included.
  const std::string pieces[] = {"12.5 ", std::string("\0\xff", 2), " 7\r", "\n"};
  std::string burst;
  for (const std::string& piece : pieces) {
    ASSERT_TRUE(line.send(piece));
    ASSERT_TRUE(nextNotification());
    burst += piece;
  }
  EXPECT_EQ(port.input(), burst);

  // Far more than any driver buffer: nothing is capped or dropped.
  std::string large;
  for (int i = 0; i < 20000; ++i) large += static_cast<char>('0' + i % 43);
  ASSERT_TRUE(line.send(large));
  std::string got;
  EXPECT_TRUE(waitWithEvents([&] {
    got += port.input();
    return got.size() >= large.size();
  }));
  EXPECT_EQ(got, large);
  EXPECT_EQ(log.count(CommEvent::Receive), static_cast<int>(log.kinds.size()));
}

TEST_F(QtSerialPortTest, RefusedOpensSayWhy) {
  ::setenv("METERSTATION_COM1", (dir_ + "/missing").c_str(), 1);
  Result opened = port.setPortOpen(true);
  EXPECT_FALSE(opened.ok);
  EXPECT_EQ(opened.error, std::strerror(ENOENT));
  EXPECT_FALSE(port.portOpen());

  port.setCommPort(5);
  opened = port.setPortOpen(true);
  EXPECT_FALSE(opened.ok);
  EXPECT_NE(opened.error.find("COM5"), std::string::npos) << opened.error;

  // Bad settings refuse the next open; good ones set afterwards open it.
  PseudoTerminal line;
  pointAt(line);
  ::setenv("METERSTATION_COM1", link_.c_str(), 1);
  port.setCommPort(1);
  port.setSettings("300,X,8,1");
  opened = port.setPortOpen(true);
  EXPECT_FALSE(opened.ok);
  EXPECT_NE(opened.error.find("parity"), std::string::npos) << opened.error;
  EXPECT_EQ(port.settings(), "300,X,8,1");
  port.setSettings(testsupport::kProcessorLineSettings);
  EXPECT_TRUE(port.setPortOpen(true).ok);
}

TEST_F(QtSerialPortTest, LostPortIsReportedOnceAndReopenedWithNothingLost) {
  PseudoTerminal first;
  openOn(first);
  ASSERT_TRUE(first.send("before"));
  ASSERT_TRUE(nextNotification());

  first.hangUp();
  ASSERT_TRUE(waitWithEvents([&] { return log.count(CommEvent::PortLost) > 0; }));
  EXPECT_FALSE(port.portOpen());
  EXPECT_EQ(log.texts.back(), "the device hung up");
  runEventsFor(600);  // the failing device keeps failing; that is no news
  EXPECT_EQ(log.count(CommEvent::PortLost), 1);
  EXPECT_EQ(log.count(CommEvent::PortBack), 0);

  PseudoTerminal second;
  pointAt(second);
  ASSERT_TRUE(waitWithEvents([&] { return log.count(CommEvent::PortBack) > 0; }, 10000));
  EXPECT_TRUE(port.portOpen());
  EXPECT_EQ(log.count(CommEvent::PortLost), 1);
  EXPECT_EQ(log.count(CommEvent::PortBack), 1);
  EXPECT_EQ(port.input(), "before");

  ASSERT_TRUE(second.send("after"));
  ASSERT_TRUE(nextNotification());
  EXPECT_EQ(port.input(), "after");
}

TEST_F(QtSerialPortTest, ClosingALostPortEndsTheReopening) {
  PseudoTerminal first;
  openOn(first);
  first.hangUp();
  ASSERT_TRUE(waitWithEvents([&] { return log.count(CommEvent::PortLost) > 0; }));
  EXPECT_TRUE(port.setPortOpen(false).ok);

  PseudoTerminal second;
  pointAt(second);
  runEventsFor(4500);  // two reopening periods
  EXPECT_EQ(log.count(CommEvent::PortBack), 0);
  EXPECT_FALSE(port.portOpen());
}

TEST_F(QtSerialPortTest, APortThatIsNotThereYetIsTakenWhenItAppears) {
  EXPECT_EQ(port.reopenPeriodMs(), 2000);
  ASSERT_FALSE(port.setPortOpen(true).ok) << "the link points nowhere yet";
  port.retryOpenUntilBack();
  EXPECT_EQ(port.output("x").error, "the port could not be opened yet");
  runEventsFor(2500);  // one attempt that still fails: no news
  EXPECT_TRUE(log.kinds.empty());
  EXPECT_FALSE(port.portOpen());

  PseudoTerminal line;
  pointAt(line);
  ASSERT_TRUE(waitWithEvents([&] { return !log.kinds.empty(); }, 10000));
  EXPECT_EQ(log.kinds, std::vector<CommEvent>{CommEvent::PortBack});
  EXPECT_TRUE(port.portOpen());
  ASSERT_TRUE(line.send("first"));
  ASSERT_TRUE(nextNotification());
  EXPECT_EQ(port.input(), "first");

  // Already open: nothing more to try.
  port.retryOpenUntilBack();
  runEventsFor(2500);
  EXPECT_EQ(log.count(CommEvent::PortBack), 1);
}

TEST_F(QtSerialPortTest, ChoosingAPortEndsTheAttemptsToOpenTheLastOne) {
  // Both ports name the same device, which is not there yet.
  ::setenv("METERSTATION_COM2", link_.c_str(), 1);
  ASSERT_FALSE(port.setPortOpen(true).ok);
  port.retryOpenUntilBack();
  port.setCommPort(2);
  ASSERT_FALSE(port.setPortOpen(true).ok);
  port.retryOpenUntilBack();
  ASSERT_TRUE(port.setPortOpen(false).ok);

  PseudoTerminal line;
  pointAt(line);
  runEventsFor(4500);  // two periods
  ::unsetenv("METERSTATION_COM2");
  EXPECT_TRUE(log.kinds.empty());
  EXPECT_FALSE(port.portOpen());
  EXPECT_EQ(port.output("x").error, "the port is not open");
}

TEST_F(QtSerialPortTest, OutputReachesTheLineInOrder) {
  const std::string stop = std::string("AT TESSARO:") + '\x03' + "\r\n";
  EXPECT_FALSE(port.output(stop).ok);

  PseudoTerminal line;
  openOn(line);
  // A reply already waiting is announced once output() has returned, never
  // in the middle of the handler that sends.
  ASSERT_TRUE(line.send("ack"));
  QThread::msleep(50);
  const std::size_t seen = log.kinds.size();
  const Result sent = port.output(stop);
  EXPECT_TRUE(sent.ok) << sent.error;
  EXPECT_EQ(log.kinds.size(), seen);
  EXPECT_EQ(line.receive(stop.size()), stop);
  ASSERT_TRUE(nextNotification());
  EXPECT_EQ(port.input(), "ack");
}

// More than a pseudo-terminal holds while nobody reads it, so that part of
// it still waits in the port when the station closes it; the stop command
// comes last.
std::string longOutput() {
  std::string bytes(std::size_t{256} * 1024, 'x');
  bytes += std::string("AT TESSARO:") + '\x00' + "\r\n";
  return bytes;
}

TEST_F(QtSerialPortTest, OutputStillLeavingWhenThePortClosesReachesTheLineFirst) {
  PseudoTerminal line;
  openOn(line);
  const std::string bytes = longOutput();
  ASSERT_TRUE(port.output(bytes).ok);
  ASSERT_TRUE(port.setPortOpen(false).ok);
  EXPECT_FALSE(port.portOpen());
  EXPECT_EQ(port.state(), SerialLink::State::Stopping);

  std::atomic<bool> stop{false};
  std::string got;
  std::thread processor([&] { got = line.receiveUntil(bytes.size(), stop); });
  EXPECT_TRUE(waitWithEvents([&] { return port.state() == SerialLink::State::Closed; }, 30000));
  stop = true;
  processor.join();
  EXPECT_EQ(got.size(), bytes.size());
  EXPECT_TRUE(got == bytes);
  EXPECT_TRUE(log.kinds.empty());
}

// The program ends right after the stop command, with no event loop left
// to send what the port still holds.
TEST_F(QtSerialPortTest, OutputStillLeavingWhenTheProgramEndsReachesTheLineFirst) {
  PseudoTerminal line;
  pointAt(line);
  auto station = std::make_unique<QtSerialPort>();
  ASSERT_TRUE(station->setPortOpen(true).ok);
  const std::string bytes = longOutput();
  ASSERT_TRUE(station->output(bytes).ok);
  ASSERT_TRUE(station->setPortOpen(false).ok);

  std::atomic<bool> stop{false};
  std::atomic<bool> done{false};
  std::string got;
  std::thread processor([&] {
    got = line.receiveUntil(bytes.size(), stop);
    done = true;
  });
  station.reset();
  // The bytes are on the line once the port is gone; the reader is given
  // time to take them even on a busy machine, and stopped only if it hangs.
  testsupport::waitUntil([&] { return done.load(); }, std::chrono::seconds(10));
  stop = true;
  processor.join();
  EXPECT_EQ(got.size(), bytes.size());
  EXPECT_TRUE(got == bytes);
}

// The factory's port in memory under the Qt event loop: a failure met
// while the station sends is told once that handler has returned.
TEST(QtSerialPortInMemory, AFailureDuringASendIsToldOnTheNextTurnOfTheLoop) {
  std::unique_ptr<PortDevice> device = makePortDevice(PortKind::Memory);
  auto& memory = dynamic_cast<MemoryPort&>(*device);
  QtSerialPort port(std::move(device));
  CommLog log(port);
  port.bind(log);
  ASSERT_TRUE(port.setPortOpen(true).ok);

  memory.failDuringNextWrite(PortError::Write, "Input/output error");
  ASSERT_TRUE(port.output("AT").ok);
  EXPECT_TRUE(log.kinds.empty());
  ASSERT_TRUE(waitWithEvents([&] { return !log.kinds.empty(); }));
  EXPECT_EQ(log.kinds, std::vector<CommEvent>{CommEvent::PortLost});
  EXPECT_EQ(log.texts.back(), "Input/output error");
  EXPECT_EQ(log.retryMs.back(), 2000);
  EXPECT_FALSE(memory.isOpen());
}

}  // namespace
}  // namespace meterstation
