// A whole station over the fakes, driven by an arbitrary sequence of line
// bursts, quiet periods, operator moves and file faults.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
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

std::string fileName(FuzzedDataProvider& in) {
  return kFileNames[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kFileNames) - 1)];
}

// What the run has seen so far, to check the station against.
struct Track {
  std::size_t list1Seen = 0;
  bool setRegular = true;          // every reading of the set so far is 40 characters
  std::vector<bool> regularLines;  // per set bound for the database, in order
  std::int64_t skippedSets = 0;    // sets the database countdown passed over
  std::size_t stopCommandsChecked = 0;
};

std::vector<std::string> linesOf(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", from);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(from));
      break;
    }
    lines.push_back(bytes.substr(from, end - from));
    from = end + 2;
  }
  return lines;
}

void applyEvent(StationHarness& s, FuzzedDataProvider& in) {
  const std::string workDir = s.window.dir + "\\";
  switch (in.ConsumeIntegralInRange<int>(0, 15)) {
    case 0:
      s.arrive(in.ConsumeRandomLengthString(200));
      break;
    case 1: {
      // A well-formed reading, so that sets complete often.
      const int meter = in.ConsumeIntegralInRange<int>(0, 17);
      const int value = in.ConsumeIntegralInRange<int>(0, 999);
      const int last = in.ConsumeIntegralInRange<int>(0, 99999);
      s.arrive(readingOf(meter, value, last));
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
      s.window.texts[TextId::Text1] = in.ConsumeRandomLengthString(12);
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
      const std::string path = workDir + fileName(in);
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
        s.files.missingDirs.insert(workDir);
      } else {
        s.files.missingDirs.clear();
      }
      break;
    case 14: {
      const std::string path = workDir + fileName(in);
      if (in.ConsumeBool()) {
        s.files.diskFullAfter[path] =
            s.files.contents(path).size() + in.ConsumeIntegral<std::uint16_t>();
      } else {
        s.files.diskFullAfter.erase(path);
      }
      break;
    }
    default:
      s.serial.event = in.ConsumeBool() ? CommEvent::PortLost : CommEvent::PortBack;
      s.serial.eventText = in.ConsumeRandomLengthString(16);
      s.form.MSComm1_OnComm();
      s.serial.event = CommEvent::Receive;
      break;
  }
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
    if (countdownBefore > 0) {
      ++t.skippedSets;
    } else {
      t.regularLines.push_back(t.setRegular);
    }
    t.setRegular = true;
  }

  const std::string dbPath = s.workFile("qn.db1");
  const std::vector<std::string> lines = linesOf(s.files.contents(dbPath));
  const std::size_t waiting = s.form.pendingAppends().waiting("qn.db1");
  FUZZ_CHECK(static_cast<std::int64_t>(lines.size() + waiting) + t.skippedSets == state.obsCount,
             "a completed set is neither in qn.db1 nor waiting");
  FUZZ_CHECK(lines.size() <= t.regularLines.size(), "more database lines than sets");
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (t.regularLines[k]) {
      FUZZ_CHECK(lines[k].size() == kDbRecordLength, "database line is not 676 characters");
    }
  }
  if (waiting > 0) {
    const std::string message = waiting == 1 ? "1 line waits for qn.db1"
                                             : std::to_string(waiting) + " lines wait for qn.db1";
    bool reported = false;
    for (const std::string& item : s.window.list2) reported = reported || item == message;
    FUZZ_CHECK(reported, "waiting database lines not reported");
  }

  for (; t.stopCommandsChecked < s.serial.sent.size(); ++t.stopCommandsChecked) {
    const std::string& sent = s.serial.sent[t.stopCommandsChecked];
    FUZZ_CHECK(sent.size() == 14, "stop command is not 14 bytes");
    FUZZ_CHECK(sent.starts_with("AT TESSARO:"), "stop command does not start AT TESSARO:");
    FUZZ_CHECK(sent.ends_with("\r\n"), "stop command does not end CR LF");
  }
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
