#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/station_harness.h"

namespace meterstation {
namespace {

using std::chrono::milliseconds;
using testing::FakeFiles;
using testsupport::StepScheduler;

// 23:59:30 on 12-08-2026 at the monotonic clock's epoch: the second set of
// a run crosses midnight.
constexpr long kEpochSecondOfDay = 23 * 3600 + 59 * 60 + 30;

LocalMoment wallAt(Instant at) {
  const long seconds =
      kEpochSecondOfDay + std::chrono::floor<std::chrono::seconds>(at.time_since_epoch()).count();
  char date[16];
  char time[16];
  std::snprintf(date, sizeof date, "12-%02ld-2026", 8 + seconds / 86400);
  std::snprintf(time, sizeof time, "%02ld:%02ld:%02ld", seconds % 86400 / 3600, seconds % 3600 / 60,
                seconds % 60);
  return {date, time};
}

// A disk whose every write holds the event thread, as a slow sync does.
class SlowFiles : public FakeFiles {
 public:
  StepScheduler* turns = nullptr;
  milliseconds perWrite{0};

  Result replace(const std::string& path, const std::string& bytes) override {
    turns->hold(perWrite);
    return FakeFiles::replace(path, bytes);
  }
  Result append(const std::string& path, const std::string& bytes) override {
    turns->hold(perWrite);
    return FakeFiles::append(path, bytes);
  }
};

// The station over the real link, on a clock the test turns.
struct LinkedStation : testing::BasicStation<SlowFiles> {
  explicit LinkedStation(int intervalMs) : BasicStation(false) {
    files.turns = &turns;
    clock.at = wallAt;
    form.Form_Load();
    window.texts[TextId::Text3] = "2";
    window.texts[TextId::Text4] = std::to_string(intervalMs);
    openPort();
  }

  // The line as it was, arrival by arrival. Whatever arrived while a
  // handler held the thread is told once the thread is free, as a reader
  // that stamps bytes on its own thread tells it; holds adds stretches in
  // which the thread is busy with something else.
  void play(const std::vector<Arrival>& line,
            const std::vector<std::pair<Instant, Instant>>& holds) {
    std::size_t next = 0;
    std::size_t hold = 0;
    while (next < line.size()) {
      if (hold < holds.size() && holds[hold].first <= line[next].at) {
        passTo(holds[hold].first);
        turns.hold(std::chrono::duration_cast<milliseconds>(holds[hold].second - turns.now()));
        ++hold;
      } else if (line[next].at > turns.now()) {
        passTo(line[next].at);
        if (line[next].at < turns.now()) continue;
        device.deliver(line[next].bytes, line[next].at);
        ++next;
        continue;
      }
      while (next < line.size() && line[next].at <= turns.now()) {
        device.arriveUnheard(line[next].bytes, line[next].at);
        ++next;
      }
      device.tell();
    }
    turns.pass(milliseconds(60000));
  }

 private:
  void passTo(Instant at) {
    if (at > turns.now()) turns.pass(std::chrono::duration_cast<milliseconds>(at - turns.now()));
  }
};

// Two sets after the synchronising burst, every byte paced at 300 baud, the
// given silence between two readings.
std::vector<Arrival> processorLine(milliseconds silence) {
  std::vector<Arrival> line;
  Instant at{milliseconds(1000)};
  const milliseconds perByte(33);
  for (int reading = 0; reading <= 32; ++reading) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d,%03d,04567,12345,089,00012,00345,%05d\r\n",
                  reading % 16 + 1, 100 + reading, reading);
    for (const char byte : std::string(text)) {
      line.push_back({at, std::string(1, byte)});
      at += perByte;
    }
    at += silence - perByte;
  }
  return line;
}

struct Outcome {
  std::vector<std::string> list1;
  std::map<std::string, std::string> files;
  std::string stopCommand;
};

Outcome run(int intervalMs, milliseconds silence, milliseconds perWrite,
            const std::vector<std::pair<Instant, Instant>>& holds = {}) {
  LinkedStation station(intervalMs);
  station.files.perWrite = perWrite;
  station.play(processorLine(silence), holds);
  return {station.window.list1, station.files.files, station.device.sent()};
}

std::vector<std::pair<Instant, Instant>> holdsOf(milliseconds length) {
  std::vector<std::pair<Instant, Instant>> holds;
  for (int k = 1; k <= 40; ++k) {
    const Instant start{milliseconds(2000 + 1700 * k)};
    holds.emplace_back(start, start + length);
  }
  return holds;
}

class HeldEventThread : public ::testing::TestWithParam<int> {};

// The densest rhythm the station is meant for: 60 ms of silence beyond the
// quiet period. However long the thread is held, and wherever, each
// reading is cut where it ended and carries the moment its quiet period
// ended; the files are those of a station never held up.
TEST_P(HeldEventThread, ReadingsAreNeitherMergedNorSplitAndKeepTheirStamps) {
  const milliseconds silence(250 + 60);
  const Outcome prompt = run(250, silence, milliseconds(0));
  ASSERT_EQ(prompt.list1.size(), 33U);  // "sync " and 32 readings
  const std::string db = prompt.files.at("/home/op/data/qN07/qn.db1");
  ASSERT_EQ(db.size(), 2U * 678U);
  // A set is stamped with its sixteenth reading: the last byte of reading
  // k came at 1000 + k * 1663 + 1353 ms, its quiet period ended 250 ms
  // later, 23:59:59 for the first set, 00:00:25 of the next day for the
  // second.
  EXPECT_EQ(db.substr(4, 14), "20261208235959");
  EXPECT_EQ(db.substr(678 + 4, 14), "20261209000025");
  EXPECT_EQ(prompt.stopCommand, std::string("AT TESSARO:") + '\0' + "\r\n");

  const Outcome held = run(250, silence, milliseconds(0), holdsOf(milliseconds(GetParam())));
  EXPECT_EQ(held.list1, prompt.list1);
  EXPECT_EQ(held.files, prompt.files);
  EXPECT_EQ(held.stopCommand, prompt.stopCommand);
}

INSTANTIATE_TEST_SUITE_P(Holds, HeldEventThread, ::testing::Values(200, 1000, 5000));

// Every write of the disk takes 150 ms (a USB stick, a network share): the
// syncs of a set hold the thread far longer than the margin between two
// readings, and nothing changes but when the readings are processed.
TEST(SlowDisk, EveryWriteHoldingTheThreadChangesNothingOnFile) {
  const milliseconds silence(250 + 60);
  const Outcome prompt = run(250, silence, milliseconds(0));
  const Outcome slow = run(250, silence, milliseconds(150));
  EXPECT_EQ(slow.list1, prompt.list1);
  EXPECT_EQ(slow.files, prompt.files);
  EXPECT_EQ(slow.stopCommand, prompt.stopCommand);
}

}  // namespace
}  // namespace meterstation
