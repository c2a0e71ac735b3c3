#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <random>
#include <regex>
#include <set>

#include "reliability/child_process.h"
#include "reliability/real_files_station.h"

namespace meterstation::reliability {
namespace {

constexpr std::size_t kLineBytes = 678;
// processor-sim's readings are 40 characters and CR LF.
constexpr std::size_t kReadingBytes = 42;

bool waitFor(const std::string& path, int timeoutMs) {
  struct stat status {};
  for (int waited = 0; waited < timeoutMs; waited += 10) {
    if (::lstat(path.c_str(), &status) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

int iterations() {
  const char* given = std::getenv("METERSTATION_CRASH_ITERATIONS");
  return given != nullptr ? std::atoi(given) : 200;
}

// A snapshot file is sixteen lines of the given pattern and an empty line.
void expectWholeSnapshot(const std::string& bytes, std::size_t size, const std::regex& line,
                         const std::string& name) {
  ASSERT_EQ(bytes.size(), size) << name;
  const std::vector<std::string> lines = fileLines(bytes);
  ASSERT_EQ(lines.size(), 17U) << name;
  for (std::size_t i = 0; i < 16; ++i)
    EXPECT_TRUE(std::regex_match(lines[i], line)) << name << ": " << lines[i];
  EXPECT_EQ(lines[16], "") << name;
}

// The complete database lines; the bytes after the last CR LF are the torn tail.
std::vector<std::string> wholeLines(const std::string& db, std::string& tail) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t end; (end = db.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(db.substr(at, end + 2 - at));
  }
  tail = db.substr(at);
  return lines;
}

// The real station process, killed at random moments while processor-sim
// feeds it sets, then started again on the same directory.
TEST(CrashConsistency, KilledStationLeavesWholeLinesAndSnapshots) {
  ScratchDir scratch;
  const std::string data = scratch.root() + "/qN07";
  const std::string link = scratch.root() + "/com1";
  ASSERT_EQ(::mkdir(data.c_str(), 0777), 0);
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> killAfterMs(50, 1000);
  const std::regex ctLine("[0-9]{2},[0-9]{3},[0-9]{5},[0-9]{5}");
  const std::regex timeLine("[0-2][0-9]:[0-5][0-9]:[0-5][0-9] [01][0-9]-[0-3][0-9]-20[0-9]{2}");

  std::vector<std::string> kept;  // every whole line seen so far, in order
  std::size_t tornTails = 0;
  std::size_t mergedLines = 0;
  const int runs = iterations();
  for (int run = 0; run < runs; ++run) {
    SCOPED_TRACE(std::string("run ").append(std::to_string(run)));
    ChildProcess sim;
    ASSERT_TRUE(sim.start({PROCESSOR_SIM_PATH, "--link", link, "--fast", "--silence", "30",
                           "--seed", std::to_string(run + 1), "--quiet"},
                          {}));
    ASSERT_TRUE(waitFor(link, 5000)) << "processor-sim did not publish its line";
    ChildProcess station;
    ASSERT_TRUE(station.start(
        {STATION_RUNNER_PATH, "--dir", data, "--obs", "9999", "--interval", "10"},
        {std::string("METERSTATION_COM1=").append(link), "QT_QPA_PLATFORM=offscreen"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(killAfterMs(random)));
    ASSERT_TRUE(station.running()) << "the station ended by itself, status " << station.status();
    const int status = station.stop(SIGKILL);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    sim.stop(SIGTERM);

    std::string tail;
    const std::vector<std::string> lines = wholeLines(slurp(data + "/qn.db1"), tail);
    if (!tail.empty()) ++tornTails;
    EXPECT_LT(tail.size(), kLineBytes);
    // A start cuts a torn tail off before its first append and nothing
    // else is ever taken away: what was there stays, in the same order.
    ASSERT_GE(lines.size(), kept.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      // When the machine holds the station up past the silence between two
      // readings (a slow sync in a busy moment), the two arrive as one
      // longer reading, as the quiet-period design says; its line is then
      // longer by whole readings. Anything else is a damaged line.
      ASSERT_GE(lines[i].size(), kLineBytes) << "line " << i;
      ASSERT_EQ((lines[i].size() - kLineBytes) % kReadingBytes, 0U)
          << "line " << i << " is " << lines[i].size() << " bytes";
      if (i < kept.size()) {
        ASSERT_EQ(lines[i], kept[i]) << "line " << i << " changed";
      } else if (lines[i].size() != kLineBytes) {
        ++mergedLines;
      }
    }
    kept = lines;
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(), lines.size())
        << "a line was written twice";
    // Each snapshot is absent only until the first set reaches it.
    struct stat snapshot {};
    if (::stat((data + "/ct.tsr").c_str(), &snapshot) == 0) {
      expectWholeSnapshot(slurp(data + "/ct.tsr"), 322, ctLine, "ct.tsr");
    }
    if (::stat((data + "/quell2.tsr").c_str(), &snapshot) == 0) {
      expectWholeSnapshot(slurp(data + "/quell2.tsr"), 338, timeLine, "quell2.tsr");
    }
    if (::testing::Test::HasFatalFailure()) return;
  }
  std::size_t leftovers = 0;
  for (const std::string& name : entriesOf(data)) leftovers += name.front() == '.';
  std::printf(
      "crash consistency: %d kills, %zu sets on file (%zu with a merged reading), %zu torn tails, "
      "%zu temporary files left\n",
      runs, kept.size(), mergedLines, tornTails, leftovers);
  EXPECT_GT(kept.size(), 0U) << "no set was ever completed between the kills";
}

}  // namespace
}  // namespace meterstation::reliability
