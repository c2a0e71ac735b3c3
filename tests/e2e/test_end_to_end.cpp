#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <chrono>
#include <functional>
#include <regex>
#include <thread>
#include <utility>

#include "e2e/station_under_test.h"
#include "output/support_files.h"
#include "platform/qt/dir_list.h"

namespace meterstation::e2e {
namespace {

constexpr int kSetTimeoutMs = 60000;

// Each test runs the real station in a directory of its own, against
// processor-sim on a pseudo-terminal, driven as an operator drives it.
class EndToEnd : public StationDirTest {
 protected:
  // Opens the data directory from the keyboard, types the interval and the
  // number of sets, and presses Com1.
  void operate(const QString& obs, const QString& interval,
               FileSystemCalls calls = FileSystemCalls::real(), bool vistaFix = true) {
    station = std::make_unique<StationUnderTest>(std::move(calls));
    QtWindow& w = station->window;
    DirList* dir = w.dirList();
    dir->setFocus();
    QTest::keyClick(dir, Qt::Key_End);
    QTest::keyClick(dir, Qt::Key_Return);
    ASSERT_TRUE(waitWithEvents([&] { return w.dirPath() == data.toStdString(); }, 2000))
        << "Dir1 shows " << w.dirPath();
    ASSERT_TRUE(w.button(ButtonId::Command1)->isEnabled());
    typeInto(w.textBox(TextId::Text4), interval);
    typeInto(w.textBox(TextId::Text3), obs);
    if (!vistaFix) QTest::mouseClick(w.checkBox(CheckId::Check2), Qt::LeftButton);
    ASSERT_EQ(w.checkValue(CheckId::Check2), vistaFix ? 1 : 0);
    QTest::mouseClick(w.button(ButtonId::Command1), Qt::LeftButton);
  }

  static void typeInto(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
  }

  // The line the database must hold for these readings, with the clock
  // digits masked.
  static std::string expectedLine(const std::vector<std::string>& readings) {
    std::string line = "qN42##############";
    for (const std::string& r : readings) line += "," + r.substr(0, 40);
    return line + "  \r\n";
  }
  static std::string masked(std::string line) {
    if (line.size() >= 18) line.replace(4, 14, std::string(14, '#'));
    return line;
  }

  Simulator sim;
};

TEST_F(EndToEnd, TwoSetsGiveExactFilesAndTheStopCommandEndsTheRun) {
  startSimulator(sim, {"--fast", "--silence", "400", "--sets", "2", "--seed", "11"});
  operate("2", "150");
  ASSERT_TRUE(waitWithEvents([&] { return station->form.ended(); }, 2 * kSetTimeoutMs))
      << "sets completed: " << station->form.state().obsCount;
  EXPECT_TRUE(station->window.ended());
  EXPECT_FALSE(station->window.isVisible());

  ASSERT_TRUE(sim.finishes(10000));
  EXPECT_EQ(sim.process.exitCode(), 0);
  const QString out = QString::fromLatin1(sim.process.readAllStandardOutput());
  EXPECT_TRUE(out.contains("count 0")) << out.toStdString();

  const std::vector<std::string> readings = sim.sent("reading");
  ASSERT_EQ(readings.size(), 32U);
  const std::vector<std::string> first(readings.begin(), readings.begin() + 16);
  const std::vector<std::string> second(readings.begin() + 16, readings.end());

  const std::string db = file("qn.db1");
  ASSERT_EQ(db.size(), 2 * 678U);
  EXPECT_EQ(masked(db.substr(0, 678)), expectedLine(first));
  EXPECT_EQ(masked(db.substr(678)), expectedLine(second));
  EXPECT_TRUE(std::regex_match(db.substr(4, 14), std::regex("20[0-9]{12}")));

  std::string ct;
  for (const std::string& r : second) ct += r.substr(0, 18) + "\r\n";
  EXPECT_EQ(file("ct.tsr"), ct + "\r\n");
  std::string usage;
  for (const std::string& r : readings) usage += r.substr(0, 18) + "\r\n";
  EXPECT_EQ(file("usage.tsr"), usage);
  const std::string times = file("quell2.tsr");
  EXPECT_TRUE(std::regex_match(
      times,
      std::regex("([0-2][0-9]:[0-5][0-9]:[0-5][0-9] [01][0-9]-[0-3][0-9]-20[0-9]{2}\r\n){16}\r\n")))
      << times;
  EXPECT_EQ(station->items(ListId::List1).front(), "sync ");
  EXPECT_EQ(station->items(ListId::List1).size(), 33U);
}

TEST_F(EndToEnd, EndNowSendsTheCountAndTheStationKeepsRunning) {
  startSimulator(sim, {"--fast", "--silence", "400", "--seed", "3"});
  operate("5", "150");
  ASSERT_TRUE(waitWithEvents([&] { return station->form.state().lineCount >= 2; }, kSetTimeoutMs));
  QTest::mouseClick(station->window.button(ButtonId::Command5), Qt::LeftButton);
  ASSERT_TRUE(sim.finishes(10000));
  EXPECT_EQ(sim.process.exitCode(), 0);
  const QString out = QString::fromLatin1(sim.process.readAllStandardOutput());
  EXPECT_TRUE(out.contains("count 5")) << out.toStdString();
  EXPECT_FALSE(station->form.ended());
  EXPECT_EQ(station->window.textBox(TextId::Text3)->text(), "0");
}

TEST_F(EndToEnd, HangUpInTheMiddleOfASetIsReportedAndTheSetCompletes) {
  startSimulator(sim, {"--fast", "--silence", "400", "--sets", "1", "--seed", "5", "--hangup-every",
                       "6", "--hangup-ms", "2500"});
  operate("1", "150");
  ASSERT_TRUE(waitWithEvents([&] { return station->form.ended(); }, 2 * kSetTimeoutMs))
      << "readings: " << station->form.state().lineCount;
  EXPECT_TRUE(station->list2Has("lost COM1: "));
  EXPECT_TRUE(station->list2Has("COM1 is back"));
  const std::vector<std::string> readings = sim.sent("reading");
  // Seen once in a full parallel run: 16 readings taken while the log
  // showed 12 sent. What both sides saw is shown should it come again.
  std::string seen;
  for (const ListId id : {ListId::List1, ListId::List2}) {
    for (const std::string& item : station->items(id)) seen += item + "\n";
  }
  ASSERT_EQ(readings.size(), 16U) << seen << readFile(sim.log);
  EXPECT_EQ(masked(file("qn.db1")), expectedLine(readings));
}

TEST_F(EndToEnd, GarbageIsRejectedAndTheSetCompletesFromTheNextGoodReadings) {
  startSimulator(
      sim, {"--fast", "--silence", "400", "--sets", "1", "--seed", "9", "--garbage-every", "5"});
  operate("1", "150");
  ASSERT_TRUE(waitWithEvents([&] { return station->form.ended(); }, 2 * kSetTimeoutMs));
  const std::vector<std::string> garbage = sim.sent("garbage");
  ASSERT_FALSE(garbage.empty());
  std::size_t rejected = 0;
  for (const std::string& item : station->items(ListId::List2)) {
    if (item.rfind("bad reading: ", 0) == 0) ++rejected;
  }
  EXPECT_EQ(rejected, garbage.size());
  EXPECT_EQ(fileLines(file("rejects.txt")).size(), garbage.size());
  const std::vector<std::string> readings = sim.sent("reading");
  ASSERT_EQ(readings.size(), 16U);
  EXPECT_EQ(masked(file("qn.db1")), expectedLine(readings));
}

// A disk whose every sync takes 150 ms, as a USB stick, an SD card or a
// network share does: the syncs of one set hold the event thread for more
// than a second, far longer than the 60 ms of silence beyond the quiet
// period between two readings. Each reading must still be one reading,
// parsed either way.
class SlowDisk : public EndToEnd, public ::testing::WithParamInterface<bool> {
 protected:
  static FileSystemCalls slowSyncs() {
    FileSystemCalls calls = FileSystemCalls::real();
    const auto slow = [](const std::function<int(int)>& sync) {
      return [sync](int fd) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return sync(fd);
      };
    };
    calls.fsync = slow(calls.fsync);
    calls.fdatasync = slow(calls.fdatasync);
    return calls;
  }
};

TEST_P(SlowDisk, TwoSetsAtTheDensestRhythmGiveExactFiles) {
  const bool vistaFix = GetParam();
  startSimulator(sim, {"--fast", "--silence", "310", "--sets", "2", "--seed", "13"});
  operate("2", "250", slowSyncs(), vistaFix);
  ASSERT_TRUE(waitWithEvents([&] { return station->form.ended(); }, 3 * kSetTimeoutMs))
      << "sets completed: " << station->form.state().obsCount
      << ", readings in the set: " << station->form.state().lineCount;
  ASSERT_TRUE(sim.finishes(10000));
  const std::vector<std::string> readings = sim.sent("reading");
  ASSERT_EQ(readings.size(), 32U);
  const std::string db = file("qn.db1");
  ASSERT_EQ(db.size(), 2 * 678U) << db;
  EXPECT_EQ(masked(db.substr(0, 678)), expectedLine({readings.begin(), readings.begin() + 16}));
  EXPECT_EQ(masked(db.substr(678)), expectedLine({readings.begin() + 16, readings.end()}));
  std::string usage;
  for (const std::string& r : readings) usage += r.substr(0, 18) + "\r\n";
  EXPECT_EQ(file("usage.tsr"), usage);
  EXPECT_FALSE(QFile::exists(data + "/rejects.txt"));
  EXPECT_EQ(station->items(ListId::List1).size(), 33U);
}

INSTANTIATE_TEST_SUITE_P(VistaFix, SlowDisk, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Ticked" : "Cleared";
                         });

}  // namespace
}  // namespace meterstation::e2e
