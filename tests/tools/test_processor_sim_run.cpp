#include <gtest/gtest.h>
#include <stdlib.h>

#include "reading_shape.h"
#include "sim_process.h"

namespace {

// The summary line at the end of the log, "summary sync 1, reading 16, ...".
std::string summaryOf(const std::string& log) {
  const std::size_t at = log.find(" summary ");
  return at == std::string::npos ? "" : log.substr(at + 1, log.find('\n', at) - at - 1);
}

// Waits for the processor to end; it must exit by itself with this code.
::testing::AssertionResult exitsWith(SimProcess& sim, int code) {
  const std::optional<int> status = sim.waitForExit();
  if (!status.has_value()) return ::testing::AssertionFailure() << "processor-sim did not end";
  if (!WIFEXITED(*status) || WEXITSTATUS(*status) != code)
    return ::testing::AssertionFailure() << "wait status " << *status << "; " << sim.err();
  return ::testing::AssertionSuccess();
}

void expectMetersInOrder(LineReader& reader, int first, int last) {
  for (int meter = first; meter <= last; ++meter) {
    const std::optional<std::string> line = reader.next();
    ASSERT_TRUE(line.has_value()) << "no reading for meter " << meter;
    ASSERT_TRUE(isValidReading(*line)) << *line;
    EXPECT_EQ(meterOf(*line), meter);
  }
}

TEST(ProcessorSimRun, SendsSyncAndReadingsThenEndsOnTheStopCommand) {
  ScratchDir dir;
  SimProcess sim({"--fast", "--silence", "50", "--sets", "2", "--link", dir / "com1", "--log",
                  dir / "sim.log"},
                 dir);
  ASSERT_TRUE(sim.started());
  const int fd = openStationSide(dir / "com1");
  ASSERT_GE(fd, 0);
  LineReader reader(fd);

  const std::optional<std::string> sync = reader.next();
  ASSERT_TRUE(sync.has_value());
  EXPECT_TRUE(isValidReading(*sync)) << *sync;
  expectMetersInOrder(reader, 1, 16);

  ASSERT_TRUE(writeAll(fd, stopCommand(7)));
  EXPECT_TRUE(exitsWith(sim, 0));
  close(fd);
  EXPECT_EQ(sim.out(),
            "stop command received: count 7 (bytes: 41 54 20 54 45 53 53 41 52 4f "
            "3a 07 0d 0a)\n");
  EXPECT_FALSE(pathExists(dir / "com1"));

  const std::string log = readWholeFile(dir / "sim.log");
  EXPECT_EQ(countLogLines(log, "sync"), 1);
  const int readings = countLogLines(log, "reading");
  EXPECT_GE(readings, 16);
  EXPECT_EQ(summaryOf(log), "summary sync 1, reading " + std::to_string(readings) +
                                ", garbage 0, nul 0, short 0, duplicate 0, hangup 0, back 0");
}

TEST(ProcessorSimRun, AfterAHangUpTheLinkMovesAndReadingsGoOnWhereTheyStopped) {
  ScratchDir dir;
  SimProcess sim({"--fast", "--silence", "50", "--sets", "2", "--hangup-every", "20", "--hangup-ms",
                  "300", "--link", dir / "com1", "--log", dir / "sim.log"},
                 dir);
  const int before = openStationSide(dir / "com1");
  ASSERT_GE(before, 0);
  const std::string firstTerminal = linkTarget(dir / "com1");
  LineReader reader(before);
  ASSERT_TRUE(reader.next().has_value());
  expectMetersInOrder(reader, 1, 16);
  expectMetersInOrder(reader, 1, 4);

  EXPECT_FALSE(reader.next().has_value());
  EXPECT_TRUE(reader.hungUp());
  // Holding the lost terminal open keeps its name taken, so the new one
  // must differ.
  ASSERT_TRUE(eventually([&] {
    const std::string target = linkTarget(dir / "com1");
    return !target.empty() && target != firstTerminal;
  }));
  const int after = openStationSide(dir / "com1");
  close(before);
  ASSERT_GE(after, 0);
  LineReader resumed(after);
  expectMetersInOrder(resumed, 5, 16);

  ASSERT_TRUE(writeAll(after, stopCommand(0)));
  EXPECT_TRUE(exitsWith(sim, 0));
  close(after);
  EXPECT_NE(sim.out().find("count 0"), std::string::npos);
  const std::string log = readWholeFile(dir / "sim.log");
  EXPECT_EQ(countLogLines(log, "hangup"), 1);
  EXPECT_EQ(countLogLines(log, "back"), 1);
  EXPECT_EQ(countLogLines(log, "sync"), 1);
  EXPECT_EQ(countLogLines(log, "reading"), 32);
}

TEST(ProcessorSimRun, AStationThatClosesAndReopensGetsTheNextReading) {
  ScratchDir dir;
  SimProcess sim({"--fast", "--silence", "1500", "--quiet", "--link", dir / "com1"}, dir);
  int fd = openStationSide(dir / "com1");
  ASSERT_GE(fd, 0);
  {
    LineReader reader(fd);
    ASSERT_TRUE(reader.next().has_value());
    expectMetersInOrder(reader, 1, 1);
  }
  close(fd);
  fd = openStationSide(dir / "com1");
  ASSERT_GE(fd, 0);
  LineReader reader(fd);
  expectMetersInOrder(reader, 2, 2);
  // Noise ahead of the command is warned about and does not stop it.
  ASSERT_TRUE(writeAll(fd, "hello" + stopCommand(2)));
  EXPECT_TRUE(exitsWith(sim, 0));
  close(fd);
  EXPECT_NE(sim.out().find("count 2"), std::string::npos);
  EXPECT_NE(sim.err().find("warning: ignored 5 bytes from the station: hello"), std::string::npos)
      << sim.err();
}

TEST(ProcessorSimRun, AStopCommandFromAStationThatLeftAtOnceStillCounts) {
  ScratchDir dir;
  SimProcess sim({"--quiet", "--link", dir / "com1"}, dir);
  const int fd = openStationSide(dir / "com1");
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(writeAll(fd, stopCommand(4)));
  close(fd);
  EXPECT_TRUE(exitsWith(sim, 0));
  EXPECT_NE(sim.out().find("count 4"), std::string::npos);
}

TEST(ProcessorSimRun, PacedBurstsArriveWhole) {
  ScratchDir dir;
  SimProcess sim({"--quiet", "--link", dir / "com1"}, dir);
  const int fd = openStationSide(dir / "com1");
  ASSERT_GE(fd, 0);
  LineReader reader(fd);
  const std::optional<std::string> sync = reader.next();
  ASSERT_TRUE(sync.has_value());
  EXPECT_TRUE(isValidReading(*sync)) << *sync;
  ASSERT_TRUE(writeAll(fd, stopCommand(1)));
  EXPECT_TRUE(exitsWith(sim, 0));
  close(fd);
}

TEST(ProcessorSimRun, SigtermRemovesTheLink) {
  ScratchDir dir;
  SimProcess sim({"--link", dir / "com1", "--log", dir / "sim.log"}, dir);
  ASSERT_TRUE(eventually([&] { return pathExists(dir / "com1"); }));
  sim.sendSignal(SIGTERM);
  EXPECT_TRUE(exitsWith(sim, 128 + SIGTERM));
  EXPECT_FALSE(pathExists(dir / "com1"));
  EXPECT_NE(summaryOf(readWholeFile(dir / "sim.log")), "");
}

TEST(ProcessorSimRun, ABadOptionExitsWithStatusTwoBeforeTouchingAnything) {
  ScratchDir dir;
  SimProcess sim({"--link", dir / "com1", "--silence", "soon"}, dir);
  EXPECT_TRUE(exitsWith(sim, 2));
  EXPECT_NE(sim.err().find("--silence takes a whole number"), std::string::npos);
  EXPECT_FALSE(pathExists(dir / "com1"));
}

TEST(ProcessorSimRun, DrivesASerialDeviceGivenByPath) {
  // A pseudo-terminal stands in for the serial port: the simulator opens
  // its slave as the device, the test listens on the master.
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string slave = ptsname(master);
  ScratchDir dir;
  SimProcess sim({"--fast", "--silence", "50", "--quiet", "--device", slave}, dir);
  LineReader reader(master);
  ASSERT_TRUE(reader.next().has_value());
  expectMetersInOrder(reader, 1, 3);
  ASSERT_TRUE(writeAll(master, stopCommand(255)));
  EXPECT_TRUE(exitsWith(sim, 0));
  close(master);
  EXPECT_NE(sim.out().find("count 255"), std::string::npos);
}

}  // namespace
