#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "e2e/station_under_test.h"
#include "output/support_files.h"
#include "sanitizer_build.h"

namespace meterstation::e2e {
namespace {

long residentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// Writes and syncs a file beside the station for as long as it lives, so
// that every sync of the station waits behind another writer's, as on a
// machine that does more than take readings.
class DiskWriter {
 public:
  explicit DiskWriter(const QString& path)
      : thread_([this, file = path.toStdString()] { run(file); }) {}
  ~DiskWriter() {
    stop_ = true;
    thread_.join();
  }
  DiskWriter(const DiskWriter&) = delete;
  DiskWriter& operator=(const DiskWriter&) = delete;
  int syncs() const { return syncs_; }

 private:
  void run(const std::string& path) {
    const std::string block(1 << 20, 'w');
    while (!stop_) {
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
      if (fd < 0) return;
      for (int i = 0; i < 8 && !stop_; ++i) {
        if (::write(fd, block.data(), block.size()) < 0) break;
      }
      if (::fdatasync(fd) == 0) ++syncs_;
      ::close(fd);
    }
    ::unlink(path.c_str());
  }

  std::atomic<bool> stop_{false};
  std::atomic<int> syncs_{0};
  std::thread thread_;
};

int soakSets() {
  const char* given = std::getenv("METERSTATION_SOAK_SETS");
  return given != nullptr ? std::atoi(given) : 60;
}

long listBytes(const StationUnderTest& s) {
  return static_cast<long>(s.window.list(ListId::List1)->store().memoryBytes() +
                           s.window.list(ListId::List2)->store().memoryBytes());
}

// A failed run leaves its database and the processor's log behind, however
// it ended.
struct KeptOnFailure {
  explicit KeptOnFailure(QTemporaryDir& kept) : dir(kept) {}
  QTemporaryDir& dir;
  KeptOnFailure(const KeptOnFailure&) = delete;
  KeptOnFailure& operator=(const KeptOnFailure&) = delete;
  ~KeptOnFailure() {
    if (!::testing::Test::HasFailure()) return;
    dir.setAutoRemove(false);
    std::printf("soak: kept %s\n", qPrintable(dir.path()));
  }
};

// Many sets through a pseudo-terminal with the processor's faults mixed
// in; nothing the processor sent may go missing and memory must not creep.
TEST(Soak, EveryReadingIsCountedAndMemoryStaysFlat) {
  const int sets = soakSets();
  // On the disk, with another writer syncing beside the station: how long
  // a sync takes must not change where readings are cut.
  QTemporaryDir tmp(QDir::tempPath() + "/meterstation-soak-XXXXXX");
  ASSERT_TRUE(tmp.isValid());
  const KeptOnFailure kept{tmp};
  const IsolatedUser user(tmp.path());
  const QString data = tmp.path() + "/qN42";
  ASSERT_TRUE(QDir().mkpath(data));
  Simulator sim;
  ASSERT_TRUE(sim.start(tmp.path(), {"--fast", "--silence", "80", "--seed", "77", "--shuffle",
                                     "--garbage-every", "29", "--short-every", "37", "--nul-every",
                                     "23", "--hangup-every", "997", "--hangup-ms", "1000"}));
  qputenv("METERSTATION_COM1", sim.link.toLocal8Bit());

  const DiskWriter writer(tmp.path() + "/writer");
  StationUnderTest s;
  s.window.setDirPath(data.toStdString());
  ASSERT_EQ(s.window.dirPath(), data.toStdString());
  // 60 ms between the end of the quiet period and the next burst.
  s.window.textBox(TextId::Text4)->setText("20");
  s.window.textBox(TextId::Text3)->setText(QString::number(sets));
  QTest::mouseClick(s.window.button(ButtonId::Command1), Qt::LeftButton);

  const int baselineSets = std::min(100, sets / 5);
  const int timeoutMs = 5000 + sets * 3000;
  ASSERT_TRUE(waitWithEvents([&] { return s.form.state().obsCount >= baselineSets; }, timeoutMs));
  const long baseRss = residentKilobytes();
  const long baseLists = listBytes(s);
  ASSERT_TRUE(waitWithEvents([&] { return s.form.ended(); }, timeoutMs))
      << "sets completed: " << s.form.state().obsCount;
  const long endRss = residentKilobytes();
  const long endLists = listBytes(s);
  ASSERT_TRUE(sim.finishes(10000));
  qunsetenv("METERSTATION_COM1");

  std::size_t sent = 0;
  for (const char* kind : {"reading", "garbage", "short", "nul"}) sent += sim.sent(kind).size();
  const std::vector<std::string> list1 = s.items(ListId::List1);
  std::size_t accepted = 0;
  for (const std::string& item : list1) accepted += item != "sync ";
  std::size_t rejected = 0;
  for (const std::string& item : s.items(ListId::List2))
    rejected += item.rfind("bad reading: ", 0) == 0;
  // The processor runs on until the stop command, so one burst may still
  // be on its way when the station ends.
  EXPECT_GE(sent, accepted + rejected);
  EXPECT_LE(sent, accepted + rejected + 1) << accepted << " accepted, " << rejected << " rejected";
  EXPECT_EQ(accepted, static_cast<std::size_t>(sets) * 16);

  // A NUL stays inside its field on the in-memory split, so it lengthens
  // its set's line by one; the slots after it shift, so where the NUL
  // ends up in the line is not checked, only that nothing went missing.
  std::size_t nulsSent = 0;
  std::size_t nulsInLast = 0;
  for (const std::string& burst : sim.sent("nul")) {
    nulsInLast = static_cast<std::size_t>(std::count(burst.begin(), burst.end(), '\0'));
    nulsSent += nulsInLast;
  }
  const std::string db = readFile(data + "/qn.db1");
  const std::vector<std::string> lines = fileLines(db);
  EXPECT_EQ(lines.size(), static_cast<std::size_t>(sets));
  std::size_t extra = 0;
  for (const std::string& line : lines) {
    ASSERT_GE(line.size(), 676U) << line;
    extra += line.size() - 676;
  }
  EXPECT_EQ(db.size(), static_cast<std::size_t>(sets) * 678 + extra);
  // The last burst may still have been on its way when the station ended.
  EXPECT_TRUE(extra == nulsSent || extra + nulsInLast == nulsSent)
      << extra << " NULs on file of " << nulsSent << " sent";
  EXPECT_EQ(s.form.pendingAppends().totalWaiting(), 0U);

  // A few megabytes of slack for the allocator and Qt's caches.
  const long growthKb = (endRss - baseRss) - (endLists - baseLists) / 1024;
  std::printf(
      "soak: %d sets, %zu bursts sent, %zu accepted, %zu rejected; VmRSS %ld kB after %d sets,"
      " %ld kB at the end, lists grew by %ld kB; %d syncs of the writer beside it\n",
      sets, sent, accepted, rejected, baseRss, baselineSets, endRss, (endLists - baseLists) / 1024,
      writer.syncs());
  if (kUnderAddressSanitizer) GTEST_SKIP() << "freed memory stays in the sanitizer's quarantine";
  EXPECT_LT(growthKb, 4 * 1024) << "memory grew beyond what the lists hold";
}

}  // namespace
}  // namespace meterstation::e2e
