#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "as_nobody.h"
#include "platform/posix/output_drain.h"
#include "platform/posix/tty_device.h"
#include "support/pseudo_terminal.h"
#include "support/scratch_dir.h"

namespace meterstation {
namespace {

// The two ends of a pseudo-terminal: the processor's and the station's.
class PseudoTerminal : public testsupport::PseudoTerminal {
 public:
  PseudoTerminal() : slave_(::open(slaveName().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
  ~PseudoTerminal() {
    if (slave_ >= 0) ::close(slave_);
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  int slave() const { return slave_; }

 private:
  int slave_;
};

TEST(TtyDevice, APortNamesTheDeviceInItsVariableElseTheSerialDevice) {
  ::unsetenv("METERSTATION_COM2");
  EXPECT_EQ(serialDeviceName(1), "/dev/ttyS0");
  EXPECT_EQ(serialDeviceName(4), "/dev/ttyS3");
  ::setenv("METERSTATION_COM2", "/dev/ttyUSB0", 1);
  EXPECT_EQ(serialDeviceName(2), "/dev/ttyUSB0");
  ::setenv("METERSTATION_COM2", "", 1);
  EXPECT_EQ(serialDeviceName(2), "/dev/ttyS1");
  ::unsetenv("METERSTATION_COM2");
}

TEST(TtyDevice, AHangUpIsSeenWithoutTakingWhatWaitsToBeRead) {
  PseudoTerminal line;
  ASSERT_GE(line.slave(), 0);
  EXPECT_FALSE(terminalHungUp(line.slave()));

  ASSERT_EQ(::write(line.master(), "ab\n", 3), 3);
  pollfd readable{line.slave(), POLLIN, 0};
  ASSERT_EQ(::poll(&readable, 1, 5000), 1);
  EXPECT_FALSE(terminalHungUp(line.slave()));
  char got[4] = {};
  EXPECT_EQ(::read(line.slave(), got, sizeof got), 3);
  EXPECT_EQ(std::string(got, 3), "ab\n");

  line.hangUp();
  EXPECT_TRUE(terminalHungUp(line.slave()));
}

TEST(TtyDeviceAsNobody, DISABLED_ADeviceTheUserMayNotUseSaysHowToBeLetIn) {
  const char* device = std::getenv("METERSTATION_ROOT_ONLY_DEVICE");
  ASSERT_NE(device, nullptr);
  ASSERT_NE(::geteuid(), 0u);
  EXPECT_EQ(openRefusalHint(device), "; add the user to the dialout group");
  EXPECT_EQ(openRefusalHint(std::string(device) + ".missing"), "");
}

TEST(TtyDevice, ADeviceTheUserMayNotUseSaysHowToBeLetIn) {
  if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is not installed";
  const testsupport::ScratchDir scratch("meterstation-tty");
  ASSERT_TRUE(scratch.made());
  const std::string& dir = scratch.path();
  const std::string device = dir + "/ttyS9";
  ASSERT_EQ(::chmod(dir.c_str(), 0755), 0);
  const int fd = ::open(device.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  ::close(fd);
  EXPECT_EQ(openRefusalHint(device), "") << "whoever made it may use it";

  ::setenv("METERSTATION_ROOT_ONLY_DEVICE", device.c_str(), 1);
  const testing::ChildRun child = testing::runAsNobody("TtyDeviceAsNobody.*");
  ::unsetenv("METERSTATION_ROOT_ONLY_DEVICE");
  EXPECT_EQ(child.status, 0) << child.output;
  EXPECT_NE(child.output.find("[  PASSED  ] 1 test."), std::string::npos) << child.output;
}

TEST(OutputDrain, EndsOnceWhatWasWrittenHasLeftAndSaysSo) {
  std::atomic<int> ended{0};
  OutputDrain drain([&ended] { ++ended; });
  PseudoTerminal line;
  ASSERT_GE(line.slave(), 0);
  ASSERT_EQ(::write(line.slave(), "AT", 2), 2);
  ASSERT_TRUE(drain.start(line.slave()).ok);
  EXPECT_TRUE(drain.waitUntilDone(5000));
  EXPECT_FALSE(drain.running());
  EXPECT_EQ(ended.load(), 1);
  char got[4] = {};
  EXPECT_EQ(::read(line.master(), got, sizeof got), 2);

  // A descriptor that is no terminal has nothing to drain; one that is
  // not open cannot be drained at all.
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  ASSERT_TRUE(drain.start(pipeEnds[1]).ok);
  EXPECT_TRUE(drain.waitUntilDone(5000));
  EXPECT_EQ(ended.load(), 2);
  ::close(pipeEnds[0]);
  ::close(pipeEnds[1]);
  const Result refused = drain.start(-1);
  EXPECT_FALSE(refused.ok);
  EXPECT_FALSE(refused.error.empty());
  EXPECT_FALSE(drain.running());
}

}  // namespace
}  // namespace meterstation
