#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/serial/memory_port.h"
#include "platform/serial/serial_link.h"
#include "serial/comm_log.h"
#include "support/step_scheduler.h"

namespace meterstation {
namespace {

using testing::CommLog;
using testsupport::StepScheduler;
using State = SerialLink::State;

const std::string kStop = std::string("AT TESSARO:") + '\x03' + "\r\n";
// 14 characters of 10 bits at 300 baud, rounded up, and the margin.
constexpr int kStopBoundMs = 467 + SerialLink::kSendMarginMs;

// The link retries with a period of its own here, so that what the loss
// tells can only have come from the link.
class SerialLinkTest : public ::testing::Test {
 protected:
  static constexpr int kPeriodMs = 500;

  SerialLinkTest() { link.bind(log); }

  void open() { ASSERT_TRUE(link.setPortOpen(true).ok); }
  void lose(const std::string& reason) {
    open();
    ASSERT_TRUE(device.raise(PortError::Resource, reason));
    turns.runPosted();
    ASSERT_EQ(link.state(), State::Lost);
  }

  StepScheduler turns;
  MemoryPort device;
  SerialLink link{device, turns, kPeriodMs};
  CommLog log{link};
};

TEST_F(SerialLinkTest, ArrivalsAreHeardWhileOpenAndWhatCameBeforeAClosingStaysReadable) {
  EXPECT_FALSE(device.deliver("early"));
  open();
  EXPECT_EQ(device.openedPort(), 1);
  EXPECT_EQ(device.openedSettings().baud, 300);

  ASSERT_TRUE(device.deliver("abc"));
  ASSERT_TRUE(device.deliver(std::string("\0\xff", 2)));
  EXPECT_EQ(log.kinds, (std::vector<CommEvent>{CommEvent::Receive, CommEvent::Receive}));
  EXPECT_EQ(link.input(), std::string("abc\0\xff", 5));
  EXPECT_EQ(link.input(), "");

  // An armed quiet-period tick still reads what came before the close.
  ASSERT_TRUE(device.deliver("tail"));
  ASSERT_TRUE(link.setPortOpen(false).ok);
  EXPECT_FALSE(device.isOpen());
  EXPECT_EQ(link.input(), "tail");
  EXPECT_FALSE(device.deliver("late"));
}

TEST_F(SerialLinkTest, EveryErrorEitherLosesThePortOrIsPassedOnOrIsIgnored) {
  enum class Outcome { Lost, Passed, Ignored };
  const std::pair<PortError, Outcome> cases[] = {
      {PortError::DeviceNotFound, Outcome::Lost},
      {PortError::PermissionDenied, Outcome::Lost},
      {PortError::OpenFailed, Outcome::Lost},
      {PortError::NotOpen, Outcome::Lost},
      {PortError::Write, Outcome::Lost},
      {PortError::Read, Outcome::Lost},
      {PortError::Resource, Outcome::Lost},
      {PortError::UnsupportedOperation, Outcome::Passed},
      {PortError::Unknown, Outcome::Passed},
      {PortError::Timeout, Outcome::Ignored},
  };
  for (const auto& [error, outcome] : cases) {
    SCOPED_TRACE(static_cast<int>(error));
    open();
    log.kinds.clear();
    ASSERT_TRUE(device.raise(error, "reason"));
    turns.runPosted();
    switch (outcome) {
      case Outcome::Lost:
        EXPECT_EQ(log.kinds, std::vector<CommEvent>{CommEvent::PortLost});
        EXPECT_FALSE(link.portOpen());
        EXPECT_FALSE(device.isOpen());
        break;
      case Outcome::Passed:
        EXPECT_EQ(log.kinds, std::vector<CommEvent>{CommEvent::Other});
        EXPECT_EQ(log.texts.back(), "reason");
        EXPECT_TRUE(link.portOpen());
        break;
      case Outcome::Ignored:
        EXPECT_TRUE(log.kinds.empty());
        EXPECT_TRUE(link.portOpen());
        break;
    }
  }
}

TEST_F(SerialLinkTest, ALossIsToldOnceOnTheNextTurnWithTheRetryPeriod) {
  open();
  ASSERT_TRUE(device.deliver("before"));
  log.kinds.clear();

  // A lost device keeps failing while it stays open; none of it is news,
  // and the device is not closed from inside its own notifier.
  ASSERT_TRUE(device.raise(PortError::Read, "the device hung up"));
  ASSERT_TRUE(device.raise(PortError::Read, "Input/output error"));
  ASSERT_TRUE(device.raise(PortError::Resource, "No such device"));
  EXPECT_TRUE(log.kinds.empty());
  EXPECT_TRUE(device.isOpen());
  EXPECT_EQ(link.state(), State::Failing);

  turns.runPosted();
  ASSERT_EQ(log.kinds, std::vector<CommEvent>{CommEvent::PortLost});
  EXPECT_EQ(log.texts.back(), "the device hung up");
  EXPECT_EQ(log.retryMs.back(), kPeriodMs);
  EXPECT_EQ(link.reopenPeriodMs(), kPeriodMs);
  EXPECT_TRUE(turns.repeating());
  EXPECT_EQ(turns.periodMs(), kPeriodMs);
  EXPECT_FALSE(device.isOpen());
  EXPECT_FALSE(device.raise(PortError::Read, "again"));
  EXPECT_EQ(link.input(), "before");
  EXPECT_EQ(link.output("x").error, "the port was lost and has not come back");
}

TEST_F(SerialLinkTest, ALostPortIsTriedEveryPeriodUntilItIsBack) {
  lose("No such device");
  device.goAway("No such file or directory");
  turns.passPeriod();
  turns.passPeriod();
  EXPECT_EQ(log.kinds, std::vector<CommEvent>{CommEvent::PortLost});
  EXPECT_EQ(device.opens(), 1);

  device.comeBack();
  turns.passPeriod();
  EXPECT_EQ(log.kinds, (std::vector<CommEvent>{CommEvent::PortLost, CommEvent::PortBack}));
  EXPECT_EQ(log.retryMs.back(), 0);
  EXPECT_TRUE(link.portOpen());
  EXPECT_FALSE(turns.repeating());
  ASSERT_TRUE(device.deliver("after"));
  EXPECT_EQ(link.input(), "after");
}

TEST_F(SerialLinkTest, TheStationClosingOrChoosingAPortEndsALoss) {
  // Closed before the loss is handled: it never happened for the station.
  open();
  ASSERT_TRUE(device.raise(PortError::Read, "gone"));
  ASSERT_TRUE(link.setPortOpen(false).ok);
  turns.runPosted();
  EXPECT_EQ(link.state(), State::Closed);

  // Opened again before the loss is handled: it was the earlier open's.
  open();
  ASSERT_TRUE(device.raise(PortError::Read, "gone"));
  open();
  turns.runPosted();
  EXPECT_EQ(link.state(), State::Open);
  EXPECT_TRUE(log.kinds.empty());

  // Lost, then closed or another port chosen: no more attempts.
  lose("gone");
  ASSERT_TRUE(link.setPortOpen(false).ok);
  EXPECT_FALSE(turns.repeating());
  EXPECT_EQ(link.output("x").error, "the port is not open");
  lose("gone");
  link.setCommPort(2);
  EXPECT_FALSE(turns.repeating());
  EXPECT_EQ(link.state(), State::Closed);
  EXPECT_EQ(link.commPort(), 2);
}

TEST_F(SerialLinkTest, APortNotThereYetIsTakenWhenItAppears) {
  device.goAway("No such file or directory");
  EXPECT_EQ(link.setPortOpen(true).error, "No such file or directory");
  link.retryOpenUntilBack();
  EXPECT_EQ(link.state(), State::Waiting);
  EXPECT_EQ(turns.periodMs(), kPeriodMs);
  EXPECT_EQ(link.output("x").error, "the port could not be opened yet");
  turns.passPeriod();
  EXPECT_TRUE(log.kinds.empty());

  device.comeBack();
  turns.passPeriod();
  EXPECT_EQ(log.kinds, std::vector<CommEvent>{CommEvent::PortBack});
  EXPECT_TRUE(link.portOpen());

  // Already open: nothing more to try.
  link.retryOpenUntilBack();
  EXPECT_FALSE(turns.repeating());
  EXPECT_EQ(link.state(), State::Open);
}

TEST_F(SerialLinkTest, WhatTheDeviceReportsDuringASendIsToldOnceTheSendHasReturned) {
  open();
  device.failDuringNextWrite(PortError::UnsupportedOperation, "refused");
  EXPECT_TRUE(link.output("AT").ok);
  EXPECT_TRUE(log.kinds.empty());
  turns.runPosted();
  EXPECT_EQ(log.kinds, std::vector<CommEvent>{CommEvent::Other});
  EXPECT_EQ(log.texts.back(), "refused");

  device.failDuringNextWrite(PortError::Write, "Input/output error");
  EXPECT_TRUE(link.output("AT").ok);
  EXPECT_EQ(log.kinds.size(), 1U);
  turns.runPosted();
  EXPECT_EQ(log.kinds.back(), CommEvent::PortLost);
  EXPECT_EQ(log.texts.back(), "Input/output error");
}

TEST_F(SerialLinkTest, TheStopCommandLeavesBeforeThePortIsClosed) {
  open();
  device.stallWrites(true);
  ASSERT_TRUE(link.output(kStop).ok);
  EXPECT_EQ(device.waiting(), kStop);

  // Closed for the station at once; the device stays open for the bytes.
  ASSERT_TRUE(link.setPortOpen(false).ok);
  EXPECT_FALSE(link.portOpen());
  EXPECT_EQ(link.state(), State::Stopping);
  EXPECT_TRUE(device.isOpen());
  EXPECT_EQ(turns.deadlineMs(), kStopBoundMs);
  EXPECT_EQ(link.output(kStop).error, "the port is not open");
  ASSERT_TRUE(device.deliver("reply"));
  EXPECT_EQ(link.input(), "");

  device.stallWrites(false);
  EXPECT_EQ(device.sent(), kStop);
  EXPECT_FALSE(device.isOpen());
  EXPECT_EQ(link.state(), State::Closed);
  EXPECT_FALSE(turns.deadlineArmed());
  EXPECT_TRUE(log.kinds.empty());
}

TEST_F(SerialLinkTest, OutputStillInThePortAtItsBoundIsReportedOnceAndLeftToLeave) {
  open();
  device.stallWrites(true);
  ASSERT_TRUE(link.output(kStop).ok);
  ASSERT_TRUE(turns.deadlineArmed());
  EXPECT_EQ(turns.deadlineMs(), kStopBoundMs);
  turns.passDeadline();
  turns.runPosted();
  ASSERT_EQ(log.kinds.size(), 1U);
  EXPECT_EQ(log.kinds.back(), CommEvent::OutputStalled);
  EXPECT_EQ(log.texts.back(),
            "the bytes did not leave the port within " + std::to_string(kStopBoundMs) + " ms");
  EXPECT_TRUE(link.portOpen());
  device.stallWrites(false);
  EXPECT_EQ(device.sent(), kStop);
  EXPECT_EQ(log.kinds.size(), 1U);
}

TEST_F(SerialLinkTest, OutputThatLeavesInTimeIsNoNews) {
  open();
  device.stallWrites(true);
  ASSERT_TRUE(link.output(kStop).ok);
  device.stallWrites(false);
  EXPECT_FALSE(turns.deadlineArmed());
  // Gone before the bound even where the device says nothing of it.
  ASSERT_TRUE(link.output(kStop).ok);
  turns.passDeadline();
  turns.runPosted();
  EXPECT_TRUE(log.kinds.empty());
}

TEST_F(SerialLinkTest, AStopCommandThatCannotLeaveIsGivenUpAtItsBound) {
  open();
  device.stallWrites(true);
  ASSERT_TRUE(link.output(kStop).ok);
  ASSERT_TRUE(link.output(kStop).ok);  // sent again: both must fit the bound
  ASSERT_TRUE(link.setPortOpen(false).ok);
  EXPECT_EQ(turns.deadlineMs(), 2 * 467 + SerialLink::kSendMarginMs);

  turns.passDeadline();
  EXPECT_FALSE(device.isOpen());
  EXPECT_EQ(device.sent(), "");
  EXPECT_EQ(link.state(), State::Closed);
}

TEST_F(SerialLinkTest, APortChosenWhileTheStopCommandLeavesGivesItItsBoundFirst) {
  open();
  device.stallWrites(true);
  ASSERT_TRUE(link.output(kStop).ok);
  ASSERT_TRUE(link.setPortOpen(true).ok);
  EXPECT_EQ(device.finishBounds(), std::vector<int>{kStopBoundMs});
  EXPECT_EQ(device.opens(), 2);
  EXPECT_EQ(link.state(), State::Open);
}

// The program ends right after the stop command: the link is destroyed
// with the bytes still in the device.
TEST(SerialLinkEnd, TheEndOfTheProgramWaitsForTheStopCommandAtMostItsBound) {
  StepScheduler turns;
  MemoryPort device;
  auto link = std::make_unique<SerialLink>(device, turns);
  ASSERT_TRUE(link->setPortOpen(true).ok);
  device.stallWrites(true);
  ASSERT_TRUE(link->output(kStop).ok);
  ASSERT_TRUE(link->setPortOpen(false).ok);
  link.reset();
  EXPECT_EQ(device.finishBounds(), std::vector<int>{kStopBoundMs});
  EXPECT_FALSE(device.isOpen());

  // Bytes that had left already leave nothing to wait for.
  device.stallWrites(false);
  link = std::make_unique<SerialLink>(device, turns);
  ASSERT_TRUE(link->setPortOpen(true).ok);
  ASSERT_TRUE(link->output(kStop).ok);
  ASSERT_TRUE(link->setPortOpen(false).ok);
  EXPECT_EQ(link->state(), State::Closed);
  link.reset();
  EXPECT_EQ(device.finishBounds().size(), 1U);
  EXPECT_EQ(device.sent(), kStop);
}

}  // namespace
}  // namespace meterstation
