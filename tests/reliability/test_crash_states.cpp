// Every disk state a crash may leave at every point of a busy scenario,
// each taken up by a new station: what was acknowledged stays, once.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "output/set_journal.h"
#include "output/waiting_lines.h"
#include "reliability/crash_model.h"
#include "reliability/real_files_station.h"

namespace meterstation::reliability {
namespace {

constexpr std::size_t kDbLineBytes = 678;
const char* const kWholeFiles[] = {"ct.tsr", "quell2.tsr", "quell.dat", "ct.dat", "quell.txt"};

// tmpfs makes the syncs free, so thousands of states take seconds.
std::string explorerRoot() {
  struct stat status {};
  return ::stat("/dev/shm", &status) == 0 && S_ISDIR(status.st_mode) ? "/dev/shm" : "/tmp";
}

void emptyDirectory(const std::string& root) {
  std::system(("rm -rf '" + root + "'/* '" + root + "'/.[!.]* 2>/dev/null").c_str());
}

std::size_t count(const std::string& haystack, const std::string& needle) {
  std::size_t n = 0;
  for (std::size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + 1)) {
    ++n;
  }
  return n;
}

std::vector<std::string> wholeLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(bytes.substr(at, end + 2 - at));
  }
  return lines;
}

void readings(RealFilesStation& s, int tag, int from, int to) {
  for (int m = from; m <= to; ++m) s.burst(readingOf(m, tag, 20000 + m));
}

// The scenario: a port choice on a database with a torn tail, Init, three
// sets, a rejected burst, a set whose database append fails and waits on
// disk, the waiting line delivered by the retry, one more set, a set whose
// append is synced but refused at close and taken back out, its retry (and
// `extraSets` more sets) and a set in progress.
// Returns the operations while the database's closes fail.
std::pair<std::size_t, std::size_t> runScenario(const std::string& root, int extraSets,
                                                CrashRecorder*& recorder,
                                                std::unique_ptr<CrashRecorder>& owner) {
  ::mkdir((root + "/qN07").c_str(), 0777);
  ::mkdir((root + "/data").c_str(), 0777);
  {
    std::ofstream db(root + "/qN07/qn.db1", std::ios::binary);
    db << std::string(676, 'A') << "\r\n"
       << "qN07202612";
  }
  owner = std::make_unique<CrashRecorder>(root);
  recorder = owner.get();
  RealFilesStation s(root, recorder->calls());
  s.window.texts[TextId::Text3] = "0";
  s.form.Command6_Click();
  s.window.texts[TextId::Text3] = "9999";
  for (int tag = 1; tag <= 3; ++tag) readings(s, tag, 1, 16);
  s.burst("a burst that is no reading\r\n");
  readings(s, 4, 1, 5);
  recorder->failWrites = {"qn.db1"};
  readings(s, 4, 6, 16);
  recorder->failWrites.clear();
  s.retryTimer.advance(Form1::kRetryMs);
  s.form.Timer2_Timer();
  readings(s, 5, 1, 16);
  const std::size_t refusedFrom = recorder->operations();
  recorder->failCloses = {"qn.db1"};
  readings(s, 7, 1, 16);
  recorder->failCloses.clear();
  const std::size_t refusedTo = recorder->operations();
  s.retryTimer.advance(Form1::kRetryMs);
  s.form.Timer2_Timer();
  for (int tag = 10; tag < 10 + extraSets; ++tag) readings(s, tag, 1, 16);
  readings(s, 6, 1, 3);
  return {refusedFrom, refusedTo};
}

struct Acknowledged {
  std::vector<std::string> dbLines;  // synced in qn.db1 or in a synced queue
  std::vector<std::pair<std::string, std::string>> waiting;  // file, line
  std::vector<std::string> journalReadings;
};

// `database` is the disk whose qn.db1 tells what reached the database.
Acknowledged acknowledgedIn(const DiskImage& durable, const DiskImage& database,
                            const std::string& root) {
  Acknowledged ack;
  if (const auto db = database.find("qN07/qn.db1"); db != database.end()) {
    for (const std::string& line : wholeLines(db->second)) ack.dbLines.push_back(line);
  }
  for (const auto& [path, bytes] : durable) {
    if (!path.starts_with("data/waiting-")) continue;
    for (const auto& [file, lines] : decodeWaitingLines(bytes).lines) {
      for (const std::string& line : lines) {
        ack.waiting.emplace_back(file, line);
        if (file == root + "/qN07/qn.db1") ack.dbLines.push_back(line);
      }
    }
  }
  if (const auto j = durable.find("qN07/" + std::string(kJournalFile)); j != durable.end()) {
    for (const JournalEntry& e : decodeJournal(j->second).entries) {
      ack.journalReadings.push_back(e.readingText);
    }
  }
  return ack;
}

// The new station on the crash state: a port choice there and one set.
void checkRecovery(const std::string& root, const Acknowledged& ack, const std::string& where) {
  RealFilesStation s(root);
  s.host.pid = 4343;
  readings(s, 9, 1, 16);
  const std::string db = s.file("qn.db1");
  ASSERT_TRUE(db.ends_with("\r\n")) << where;
  const std::vector<std::string> lines = wholeLines(db);
  for (const std::string& line : lines) ASSERT_EQ(line.size(), kDbLineBytes) << where;
  std::vector<std::string> unique(lines);
  std::sort(unique.begin(), unique.end());
  ASSERT_EQ(std::unique(unique.begin(), unique.end()), unique.end()) << where << ": a line twice";
  std::size_t next = 0;
  for (const std::string& line : ack.dbLines) {
    const auto found = std::find(lines.begin(), lines.end(), line);
    ASSERT_NE(found, lines.end()) << where << ": acknowledged set lost: " << line.substr(0, 30);
    ASSERT_GE(static_cast<std::size_t>(found - lines.begin()), next) << where << ": out of order";
    next = static_cast<std::size_t>(found - lines.begin());
  }
  for (const auto& [file, line] : ack.waiting) {
    EXPECT_EQ(count(slurp(file), line), 1U) << where << ": waiting line for " << file;
  }
  const std::string kept = s.file(kIncompleteSetsFile);
  for (const std::string& reading : ack.journalReadings) {
    EXPECT_EQ(count(db, reading) + count(kept, reading), 1U) << where << ": " << reading;
  }
}

void checkWholeFiles(const DiskImage& state, const CrashRecorder& recorder,
                     const std::string& where) {
  for (const char* name : kWholeFiles) {
    const auto it = state.find(std::string("qN07/") + name);
    if (it == state.end()) continue;
    const auto& versions = recorder.renamedVersions();
    const auto known = versions.find(std::string("qN07/") + name);
    ASSERT_TRUE(known != versions.end() && known->second.contains(it->second))
        << where << ": " << name << " is no file the station wrote";
  }
}

TEST(CrashStates, EveryStateAfterEveryOperationKeepsWhatWasAcknowledged) {
  const bool full = std::getenv("METERSTATION_CRASH_STATES_FULL") != nullptr;
  CrashRecorder::Bounds bounds;
  if (!full) bounds = {8, 1};
  const std::string root =
      explorerRoot() + "/meterstation-crash-states-" + std::to_string(::getpid());
  ::mkdir(root.c_str(), 0777);
  std::unique_ptr<CrashRecorder> owner;
  CrashRecorder* recorder = nullptr;
  const auto [refusedFrom, refusedTo] = runScenario(root, full ? 8 : 0, recorder, owner);
  const DiskImage beforeRefusal = recorder->durableAfter(refusedFrom);
  ASSERT_GT(recorder->operations(), 100U);

  std::size_t states = 0;
  for (std::size_t k = 0; k <= recorder->operations(); ++k) {
    // While its closes fail no append to the database is acknowledged, its
    // line synced before the close or not; the queue's lines still are.
    const DiskImage durable = recorder->durableAfter(k);
    const bool refused = k >= refusedFrom && k < refusedTo;
    const Acknowledged ack = acknowledgedIn(durable, refused ? beforeRefusal : durable, root);
    for (const DiskImage& state : recorder->statesAfter(k, bounds)) {
      const std::string where = "after operation " + std::to_string(k) +
                                (k > 0 ? " (" + recorder->describe(k - 1) + ")" : "");
      checkWholeFiles(state, *recorder, where);
      emptyDirectory(root);
      materialize(state, root);
      checkRecovery(root, ack, where);
      ++states;
      if (::testing::Test::HasFailure()) {
        emptyDirectory(root);
        ::rmdir(root.c_str());
        return;
      }
    }
  }
  emptyDirectory(root);
  ::rmdir(root.c_str());
  std::printf("crash states: %zu crash points, %zu states checked (%s bounds)\n",
              recorder->operations() + 1, states, full ? "full" : "test");
}

}  // namespace
}  // namespace meterstation::reliability
