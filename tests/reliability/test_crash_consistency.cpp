#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <random>
#include <regex>
#include <set>

#include "output/set_journal.h"
#include "platform/qt/qt_settings_store.h"
#include "reliability/child_process.h"
#include "reliability/real_files_station.h"
#include "support/burst_log_text.h"
#include "support/reading_accounting.h"
#include "support/serial_lock.h"
#include "support/wait_until.h"

namespace meterstation::reliability {
namespace {

constexpr std::size_t kLineBytes = 678;
// processor-sim's readings are 40 characters and CR LF.
constexpr std::size_t kReadingBytes = 42;

bool waitFor(const std::string& path, int timeoutMs) {
  return testsupport::waitUntil(
      [&] {
        struct stat status {};
        return ::lstat(path.c_str(), &status) == 0;
      },
      std::chrono::milliseconds(timeoutMs));
}

// Waits until the file is longer than it was at the call.
void waitForGrowth(const std::string& path, int timeoutMs) {
  const auto size = [&] {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? status.st_size : off_t{0};
  };
  const off_t before = size();
  testsupport::waitUntil([&] { return size() > before; }, std::chrono::milliseconds(timeoutMs),
                         std::chrono::milliseconds(20));
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

// The lines of a file, without their CR LF; a torn last piece is left out.
std::vector<std::string> crLfLines(const std::string& bytes) {
  std::string tail;
  std::vector<std::string> lines = wholeLines(bytes, tail);
  for (std::string& line : lines) line.resize(line.size() - 2);
  return lines;
}

// The station's run, its settings and waiting lines, all in the scratch
// directory: a restart finds them there as at a real user's.
struct StationUser {
  explicit StationUser(const std::string& root)
      : config(root + "/config"), share(root + "/share"), home(root + "/home") {
    for (const std::string* dir : {&config, &share, &home}) ::mkdir(dir->c_str(), 0777);
  }
  std::vector<std::string> environment(const std::string& link) const {
    return {"XDG_CONFIG_HOME=" + config, "XDG_DATA_HOME=" + share, "HOME=" + home,
            "METERSTATION_COM1=" + link, "QT_QPA_PLATFORM=offscreen"};
  }
  std::optional<RunSettings> remembered() const {
    QtSettingsStore store(QString::fromStdString(config + "/meterstation/run.conf"));
    return store.load();
  }
  std::string config;
  std::string share;
  std::string home;
};

std::vector<std::string> runnerArgs(bool resume, const std::string& data) {
  if (resume) return {STATION_RUNNER_PATH, "--resume"};
  return {STATION_RUNNER_PATH, "--dir", data, "--obs", "9999", "--interval", "10"};
}

void addRun(testsupport::ReadingAccounting& accounting, const std::string& log) {
  std::string sync;
  std::vector<std::string> readings;
  for (const testsupport::LoggedBurst& burst : testsupport::loggedBursts(slurp(log))) {
    if (burst.kind == "sync") sync = burst.text;
    if (burst.kind == "reading") readings.push_back(burst.text);
  }
  accounting.addRun(sync, readings);
}

std::size_t journalled(const std::string& data) {
  return decodeJournal(slurp(data + "/" + kJournalFile)).entries.size();
}

// One last start that takes up the last killed run's journal, with no
// processor on the line, so that no reading is left only there.
void takeUpTheLastJournal(const StationUser& user, const std::string& data,
                          const std::string& link) {
  ChildProcess station;
  ASSERT_TRUE(station.start(runnerArgs(true, data), user.environment(link)));
  testsupport::waitUntil([&] { return journalled(data) == 0; }, std::chrono::seconds(20),
                         std::chrono::milliseconds(20));
  EXPECT_EQ(journalled(data), 0U) << "the last start did not take up the journal";
  EXPECT_TRUE(station.running());
  station.stop(SIGKILL);
}

void printAccounting(const testsupport::ReadingAccounting& a, int kills, int resumed) {
  using A = testsupport::ReadingAccounting;
  std::printf(
      "crash accounting: %d kills, %d of the %d starts resumed the remembered run; %zu readings "
      "sent besides the synchronising bursts: %zu in qn.db1, %zu in incomplete-sets.txt, %zu in "
      "rejects.txt, %zu merged (in a reading of two bursts or its set), %zu thrown away with a "
      "synchronising burst, %zu in flight at a kill (at most %zu at one kill); %zu accounted, "
      "%zu in two places, twice or nowhere; %zu synchronising bursts stored as a reading\n",
      kills, resumed, kills + 1, a.sent(), a.count(A::Database), a.count(A::Incomplete),
      a.count(A::Rejects), a.count(A::Merged), a.count(A::WithSync), a.count(A::InFlight),
      a.mostInFlight(), a.accounted(), a.failures().size(), a.syncBurstsStored());
}

// A database line of these cells, as the station writes it.
std::string databaseLine(const std::vector<std::string>& cells) {
  std::string line = "qN0720261208135837";
  for (const std::string& cell : cells) line += "," + cell;
  return line + "  ";
}

// The accounting must be able to fail: a reading lost in the middle of a
// run, one kept twice, and a synchronising burst taken as a reading are
// each found; merged readings and a merged set's cells are not failures.
TEST(CrashAccounting, FindsWhatDoesNotCloseAndToleratesMergedSets) {
  using A = testsupport::ReadingAccounting;
  std::vector<std::string> sent;
  for (int i = 0; i < 40; ++i) {
    char text[48];
    std::snprintf(text, sizeof text, "%02d,%03d,%05d,11111,222,33333,44444,%05d", i % 16 + 1, i,
                  i * 7, 10000 + i);
    sent.emplace_back(text);
  }
  const std::string sync = "16,900,55555,11111,222,33333,44444,99999";
  const auto kept = [](const std::string& reading) { return reading + " 13:58:37 12-08-2026"; };

  // 0 went with the sync; 1 to 16 make a set; 17 is nowhere; 18 is in two
  // places; 22 to 39 were in flight.
  A lost;
  lost.addRun(sync, sent);
  lost.settle({databaseLine({sent.begin() + 1, sent.begin() + 17})},
              {kept(sent[18]), kept(sent[19]), kept(sent[20])}, {sent[18], sent[21], sync, sync});
  EXPECT_EQ(lost.count(A::WithSync), 1U);
  EXPECT_EQ(lost.count(A::Database), 16U);
  EXPECT_EQ(lost.count(A::Incomplete), 2U);
  EXPECT_EQ(lost.count(A::Rejects), 1U);
  EXPECT_EQ(lost.count(A::InFlight), 18U);
  ASSERT_EQ(lost.failures().size(), 3U);
  EXPECT_NE(lost.failures()[0].find("synchronising burst of run 0 is there 2 times"),
            std::string::npos);
  EXPECT_NE(lost.failures()[1].find("reading 17 "), std::string::npos);
  EXPECT_NE(lost.failures()[1].find("nowhere"), std::string::npos);
  EXPECT_NE(lost.failures()[2].find("reading 18 "), std::string::npos);

  // Bursts 2 and 3 came as one reading; the cells of its set's line left
  // 4 out and hold 5 twice.
  std::vector<std::string> cells = {sent[1], sent[2] + "  " + sent[3], sent[5]};
  cells.insert(cells.end(), sent.begin() + 5, sent.begin() + 18);
  A merged;
  merged.addRun(sync, sent);
  // The synchronising tick came before the synchronising burst, which was
  // then stored once, as the first reading.
  merged.settle({databaseLine(cells)}, {kept(sync)}, {sent[18]});
  EXPECT_TRUE(merged.failures().empty()) << merged.failures().front();
  EXPECT_EQ(merged.syncBurstsStored(), 1U);
  EXPECT_EQ(merged.count(A::Merged), 17U);
  EXPECT_EQ(merged.count(A::Rejects), 1U);
  EXPECT_EQ(merged.accounted(), merged.sent());
}

// The real station process, killed at random moments while processor-sim
// feeds it sets, then started again on the same directory with --resume,
// as it comes back after a crash.
TEST(CrashConsistency, KilledStationLeavesWholeLinesAndSnapshotsAndLosesNoReading) {
  ScratchDir scratch;
  const std::string data = scratch.path() + "/qN07";
  const std::string link = scratch.path() + "/com1";
  ASSERT_EQ(::mkdir(data.c_str(), 0777), 0);
  const StationUser user(scratch.path());
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> killAfterMs(50, 1000);
  const std::regex ctLine("[0-9]{2},[0-9]{3},[0-9]{5},[0-9]{5}");
  const std::regex timeLine("[0-2][0-9]:[0-5][0-9]:[0-5][0-9] [01][0-9]-[0-3][0-9]-20[0-9]{2}");

  testsupport::ReadingAccounting accounting;
  std::vector<std::string> kept;  // every whole line seen so far, in order
  std::size_t tornTails = 0;
  std::size_t mergedLines = 0;
  int resumedStarts = 0;
  bool going = false;  // a run is remembered as going
  const int runs = iterations();
  for (int run = 0; run < runs; ++run) {
    SCOPED_TRACE(std::string("run ").append(std::to_string(run)));
    const std::string log = scratch.path() + "/sim-" + std::to_string(run) + ".log";
    ChildProcess sim;
    ASSERT_TRUE(sim.start({PROCESSOR_SIM_PATH, "--link", link, "--fast", "--silence", "30",
                           "--seed", std::to_string(run + 1), "--quiet", "--log", log},
                          {}));
    ASSERT_TRUE(waitFor(link, 5000)) << "processor-sim did not publish its line";
    // Until a port press was remembered there is no run to take up.
    const bool resume = going;
    resumedStarts += resume;
    ChildProcess station;
    ASSERT_TRUE(station.start(runnerArgs(resume, data), user.environment(link)));
    // Most starts are killed before a set can complete (a start throws its
    // first burst away and a set takes sixteen more); every tenth is left
    // to write one first, so that sets reach the database however slow
    // the build (the sanitizers) and however few the kills.
    if (run % 10 == 9) waitForGrowth(data + "/qn.db1", 10000);
    std::this_thread::sleep_for(std::chrono::milliseconds(killAfterMs(random)));
    ASSERT_TRUE(station.running()) << "the station ended by itself, status " << station.status();
    const int status = station.stop(SIGKILL);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    sim.stop(SIGTERM);
    addRun(accounting, log);
    const std::optional<RunSettings> remembered = user.remembered();
    ASSERT_TRUE(!going || (remembered && remembered->going)) << "a kill must leave the run going";
    going = remembered && remembered->going;

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
  takeUpTheLastJournal(user, data, link);
  testsupport::removeSerialLock(link);
  resumedStarts += going;
  accounting.settle(crLfLines(slurp(data + "/qn.db1")),
                    crLfLines(slurp(data + "/" + kIncompleteSetsFile)),
                    crLfLines(slurp(data + "/rejects.txt")));
  std::size_t leftovers = 0;
  for (const std::string& name : entriesOf(data)) {
    leftovers += name.front() == '.' && name != ".meterstation.lock";
  }
  std::printf(
      "crash consistency: %d kills, %zu sets on file (%zu with a merged reading), %zu torn tails, "
      "%zu temporary files left\n",
      runs, kept.size(), mergedLines, tornTails, leftovers);
  printAccounting(accounting, runs, resumedStarts);
  EXPECT_GT(kept.size(), 0U) << "no set was ever completed between the kills";
  EXPECT_GT(resumedStarts, 0);
  EXPECT_EQ(accounting.accounted(), accounting.sent());
  // A station that did not throw its first burst away would store the
  // synchronising burst at nearly every start that got as far.
  EXPECT_LE(accounting.syncBurstsStored() * 20, static_cast<std::size_t>(runs) + 1)
      << "the synchronising tick comes before the first burst too often";
  for (const std::string& failure : accounting.failures()) ADD_FAILURE() << failure;
  for (const std::size_t run : accounting.failedRuns()) {
    std::printf("processor-sim's log of run %zu:\n%s", run,
                slurp(scratch.path() + "/sim-" + std::to_string(run) + ".log").c_str());
  }
}

}  // namespace
}  // namespace meterstation::reliability
