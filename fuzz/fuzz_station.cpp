// A whole station over the fakes, driven by an arbitrary sequence of line
// bursts, quiet periods, operator moves and file faults.
#include <fuzzer/FuzzedDataProvider.h>

#include <charconv>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/station_harness.h"
#include "fuzz_check.h"
#include "output/db_record.h"

using namespace meterstation;
using namespace meterstation::testing;

namespace {

const char* const kFileNames[] = {"qn.db1",       "ct.tsr",      "usage.tsr",     "quell2.tsr",
                                  "alarmlog.txt", "rejects.txt", "cp.txt",        "quell.dat",
                                  "ct.dat",       "quell.txt",   "qn.db1.partial"};

const char* fileName(FuzzedDataProvider& in) {
  return kFileNames[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kFileNames) - 1)];
}

// The two data directories the operator moves between.
const char* const kDirs[] = {"/home/op/data/qN07", "/home/op/data/qN08"};

// A database file and the sets bound for it.
struct Database {
  std::vector<bool> regular;     // per set, in order: every reading 40 characters
  std::size_t linesChecked = 0;  // lines counted and looked at so far
  // Where the first line not yet known to be whole starts, and how many
  // whole lines lie before it: the file only grows by whole lines, so each
  // check scans only what was appended since the last one.
  std::size_t wholeBytes = 0;
  std::size_t wholeLines = 0;
};

// What the run has seen so far, to check the station against.
struct Track {
  std::size_t list1Seen = 0;
  std::size_t list2Seen = 0;
  bool setRegular = true;  // every reading of the set so far is 40 characters
  // Per database path, the sets bound for it.
  std::map<std::string, Database> databases;
  std::int64_t skippedSets = 0;         // sets the database countdown passed over
  std::size_t stopCommandsChecked = 0;  // bytes of the stop commands checked
  // The newest "... wait(s) for qn.db1" in List2, per directory it names.
  std::map<std::string, std::string, std::less<>> lastWaitingReport;
};

// Counts the CR LF lines of the bytes and checks the length of those not
// looked at before, so each line is looked at once; a file that shrank is
// counted again from its start.
std::size_t checkDatabaseLines(const std::string& bytes, Database& db) {
  if (bytes.size() < db.wholeBytes) db.wholeBytes = db.wholeLines = 0;
  std::size_t count = db.wholeLines;
  std::size_t start = db.wholeBytes;
  while (start < bytes.size()) {
    std::size_t end = bytes.find("\r\n", start);
    const bool whole = end != std::string::npos;
    if (!whole) end = bytes.size();
    if (count >= db.linesChecked) {
      FUZZ_CHECK(count < db.regular.size(), "more database lines than sets");
      if (db.regular[count]) {
        FUZZ_CHECK(end - start == kDbRecordLength, "database line is not 676 characters");
      }
    }
    ++count;
    start = end + 2;
    if (whole) {
      db.wholeBytes = start;
      db.wholeLines = count;
    }
  }
  db.linesChecked = count;
  return count;
}

// Whether the report reads "1 line waits" or "<n> lines wait".
bool reportsWaiting(const std::string& report, std::size_t n) {
  if (n == 1) return report == "1 line waits";
  char digits[24];
  const auto end = std::to_chars(std::begin(digits), std::end(digits), n).ptr;
  const std::string_view number(digits, static_cast<std::size_t>(end - digits));
  return report.size() == number.size() + 11 && report.starts_with(number) &&
         report.ends_with(" lines wait");
}

// What a single-line text box lets through: no line breaks.
std::string typed(std::string text) {
  std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
  return text;
}

// The directory the operator has open, as the station names it, and a
// file in it.
std::string openDir(const StationHarness& s) { return s.window.dir + "/"; }
std::string openDirFile(const StationHarness& s, std::string_view name) {
  std::string path;
  path.reserve(s.window.dir.size() + 1 + name.size());
  path += s.window.dir;
  path += '/';
  path += name;
  return path;
}

void applyEvent(StationHarness& s, FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 16)) {
    case 0:
      s.arrive(in.ConsumeRandomLengthString(200));
      break;
    case 1: {
      // A well-formed reading, so that sets complete often.
      const int meter = in.ConsumeIntegralInRange<int>(0, 17);
      const int value = in.ConsumeIntegralInRange<int>(0, 999);
      const int last = in.ConsumeIntegralInRange<int>(0, 99999);
      static std::string reading;  // one buffer for all: readings are the commonest event
      readingInto(reading, meter, value, last);
      s.arrive(reading);
      break;
    }
    case 2:
    case 3:
      s.quiet();
      break;
    case 4:
      s.window.texts[TextId::Text3] = in.ConsumeRandomLengthString(24);
      break;
    case 5:
      s.window.texts[TextId::Text4] = in.ConsumeRandomLengthString(24);
      break;
    case 6:
      s.window.texts[TextId::Text1] = typed(in.ConsumeRandomLengthString(12));
      break;
    case 7:
      s.window.checks[CheckId::Check1] = in.ConsumeIntegralInRange<int>(0, 2);
      break;
    case 8:
      s.window.checks[CheckId::Check2] = in.ConsumeIntegralInRange<int>(0, 2);
      break;
    case 9:
      s.openPort(in.ConsumeIntegralInRange<int>(1, 4));
      break;
    case 10:
      s.form.Command6_Click();
      break;
    case 11:
      s.form.Command5_Click();
      break;
    case 12: {
      const std::string path = openDirFile(s, fileName(in));
      switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
          s.files.faults.erase(path);
          break;
        case 1:
          s.files.faults[path] = FakeFiles::Fault::CannotOpen;
          break;
        default:
          s.files.faults[path] = FakeFiles::Fault::CannotWrite;
          break;
      }
      break;
    }
    case 13:
      if (in.ConsumeBool()) {
        s.files.missingDirs.insert(openDir(s));
      } else {
        s.files.missingDirs.clear();
      }
      break;
    case 14: {
      const std::string path = openDirFile(s, fileName(in));
      if (in.ConsumeBool()) {
        s.files.diskFullAfter[path] =
            s.files.contents(path).size() + in.ConsumeIntegral<std::uint16_t>();
      } else {
        s.files.diskFullAfter.erase(path);
      }
      break;
    }
    case 15:
      // The operator opens the other data directory; it counts at the next
      // port choice or Init.
      s.window.dir = kDirs[in.ConsumeBool() ? 1 : 0];
      break;
    default:
      switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
          s.losePort(in.ConsumeRandomLengthString(16));
          break;
        case 1:
          s.portBack();
          break;
        default:
          s.device.raise(PortError::Unknown, in.ConsumeRandomLengthString(16));
          break;
      }
      break;
  }
}

// The directory a waiting message is about: the one it names, or the
// working directory when it names none.
std::string reportedDir(const std::string& item, const std::string& workDir) {
  const std::size_t in = item.find(" qn.db1 in ");
  return in == std::string::npos ? workDir : item.substr(in + 11);
}

void noteWaitingReports(StationHarness& s, Track& t) {
  for (; t.list2Seen < s.window.list2.size(); ++t.list2Seen) {
    const std::string& item = s.window.list2[t.list2Seen];
    const std::size_t at = item.find(" for qn.db1");
    if (at == std::string::npos ||
        !(item.ends_with(" for qn.db1") || item.find(" qn.db1 in ") != std::string::npos))
      continue;
    if (item.find(" wait for ") == std::string::npos &&
        item.find(" waits for ") == std::string::npos)
      continue;
    t.lastWaitingReport[reportedDir(item, s.form.state().workDir)] = item.substr(0, at);
  }
}

void checkDatabases(StationHarness& s, Track& t) {
  std::size_t lines = 0;
  std::size_t waiting = 0;
  noteWaitingReports(s, t);
  for (auto& [path, db] : t.databases) {
    const std::size_t count = checkDatabaseLines(s.files.contents(path), db);
    lines += count;
    const std::size_t waitingHere = s.form.pendingAppends().waiting(path);
    waiting += waitingHere;
    // A database receives only its own directory's sets.
    FUZZ_CHECK(count + waitingHere <= db.regular.size(), "more database lines than sets");
    if (waitingHere > 0) {
      const std::string_view dir(path.data(), path.size() - 6);
      const auto report = t.lastWaitingReport.find(dir);
      FUZZ_CHECK(report != t.lastWaitingReport.end() && reportsWaiting(report->second, waitingHere),
                 "waiting database lines not reported");
    }
  }
  FUZZ_CHECK(static_cast<std::int64_t>(lines + waiting) + t.skippedSets == s.form.state().obsCount,
             "a completed set is neither in qn.db1 nor waiting");
}

void checkStation(StationHarness& s, Track& t, std::int64_t obsBefore, double countdownBefore) {
  const StationState& state = s.form.state();
  FUZZ_CHECK(state.lineCount >= 0 && state.lineCount <= 15, "line count outside 0 to 15");

  for (; t.list1Seen < s.window.list1.size(); ++t.list1Seen) {
    const std::string& item = s.window.list1[t.list1Seen];
    if (item == "sync ") continue;
    if (item.size() != 40) t.setRegular = false;
  }
  if (state.obsCount != obsBefore) {
    FUZZ_CHECK(state.obsCount == obsBefore + 1, "more than one set from one event");
    // A set is written to the working directory of the moment it completes.
    FUZZ_CHECK(!state.workDir.empty(), "a set completed before any port choice");
    if (countdownBefore > 0) {
      ++t.skippedSets;
    } else {
      t.databases[s.workFile("qn.db1")].regular.push_back(t.setRegular);
    }
    t.setRegular = true;
  }
  checkDatabases(s, t);

  // Stop commands are all the station sends: 14 bytes each.
  const std::string& sent = s.device.sent();
  for (; t.stopCommandsChecked + 14 <= sent.size(); t.stopCommandsChecked += 14) {
    const std::string_view command(sent.data() + t.stopCommandsChecked, 14);
    FUZZ_CHECK(command.starts_with("AT TESSARO:"), "stop command does not start AT TESSARO:");
    FUZZ_CHECK(command.ends_with("\r\n"), "stop command does not end CR LF");
  }
  FUZZ_CHECK(t.stopCommandsChecked == sent.size(), "stop command is not 14 bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  StationHarness s;
  Track t;
  while (in.remaining_bytes() > 0 && !s.form.ended()) {
    const std::int64_t obsBefore = s.form.state().obsCount;
    const double countdownBefore = s.form.state().dbCountdown;
    applyEvent(s, in);
    checkStation(s, t, obsBefore, countdownBefore);
  }
  return 0;
}
