// A station that comes back by itself: killed runs taken up by --resume,
// runs that ended not taken up, a working directory that appears late,
// waiting lines that outlive the process, and one station per directory.
// The killed halves are real processes; a resumed half whose window the
// test must read runs in this process, built as the program builds it.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <regex>

#include "e2e/station_under_test.h"
#include "output/set_journal.h"
#include "output/support_files.h"
#include "output/waiting_lines.h"
#include "platform/qt/dir_list.h"
#include "platform/qt/qt_settings_store.h"
#include "support/serial_lock.h"

namespace meterstation::e2e {
namespace {

constexpr int kSetWithinMs = 20000;
const std::regex kTimeAndDate("[0-2][0-9]:[0-5][0-9]:[0-5][0-9] [01][0-9]-[0-3][0-9]-20[0-9]{2}");

// Bursts 400 ms apart, a quiet period of 150 ms: every burst is one
// reading, and a set takes about seven seconds.
QStringList simOptions(int seed, int sets = 0) {
  QStringList options = {"--fast", "--silence", "400", "--seed", QString::number(seed)};
  if (sets > 0) options += {"--sets", QString::number(sets)};
  return options;
}

// The database line of these readings, the clock digits masked.
std::string expectedLine(const std::string& marker, const std::vector<std::string>& readings) {
  std::string line = marker + std::string(14, '#');
  for (const std::string& r : readings) line += "," + r.substr(0, 40);
  return line + "  \r\n";
}

std::vector<std::string> maskedLines(const std::string& db) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t end; (end = db.find("\r\n", at)) != std::string::npos; at = end + 2) {
    std::string line = db.substr(at, end + 2 - at);
    if (line.size() >= 18) line.replace(4, 14, std::string(14, '#'));
    lines.push_back(line);
  }
  if (at < db.size()) lines.push_back("torn: " + db.substr(at));
  return lines;
}

std::vector<std::string> slice(const std::vector<std::string>& all, std::size_t from,
                               std::size_t count) {
  if (all.size() < from + count) return {};
  return {all.begin() + static_cast<std::ptrdiff_t>(from),
          all.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

class Continuity : public StationDirTest {
 protected:
  void TearDown() override {
    station.reset();
    // The killed stations' locks of the line.
    testsupport::removeSerialLock((root + "/com1").toStdString());
    StationDirTest::TearDown();
  }
  // Ends a simulator whose station was killed; its link goes with it, so
  // the next one can take the same name.
  static void stopSimulator(Simulator& sim) {
    sim.process.terminate();
    ASSERT_TRUE(sim.process.waitForFinished(5000));
    ASSERT_TRUE(waitWithEvents([&] { return !QFile::exists(sim.link); }, 5000));
  }

  // station-runner in a process of its own, pressing Com1 in the data
  // directory with these extra moves.
  void startRunner(ProgramProcess& runner, const QStringList& moves) {
    QStringList args = {"--dir", data};
    args += moves;
    ASSERT_TRUE(runner.start(QStringLiteral(STATION_RUNNER_PATH), args));
  }

  // The readings of the set in progress on disk; none once the journal
  // says its set is complete, in the moment before it is emptied.
  std::size_t journalled() const {
    const Journal journal = decodeJournal(readFile(data + "/" + kJournalFile));
    return journal.completed ? 0 : journal.entries.size();
  }
  // Waits for the runner to hold this many readings of its set in progress,
  // then kills it as a crash would.
  void killInTheMiddleOfASet(ProgramProcess& runner, std::size_t readings) {
    ASSERT_TRUE(
        waitWithEvents([&] { return journalled() >= readings || !runner.running(); }, kSetWithinMs))
        << "readings journalled: " << journalled();
    ASSERT_TRUE(runner.running()) << runner.errors();
    runner.killHard();
  }

  std::optional<RunSettings> remembered() const {
    QtSettingsStore store(user->runConf());
    return store.load();
  }

  // For a failure's message: what the stations left behind.
  std::string leftBehind() const {
    std::string out = "run.conf:\n" + readFile(user->runConf());
    for (const QString& dir : {data, user->dataDir()}) {
      out += "\n" + dir.toStdString() + ":";
      for (const QFileInfo& entry :
           QDir(dir).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        out += " " + entry.fileName().toStdString() + "(" + std::to_string(entry.size()) + ")";
      }
    }
    return out;
  }

  // The station in this process, taking up the remembered run as
  // `meterstation --resume` does.
  void resumeHere() {
    station = std::make_unique<StationUnderTest>();
    station->startResume();
  }
};

// The block of incomplete-sets.txt a killed set leaves: its heading, then
// each of these readings with its time and date.
void expectKeptSet(const std::string& kept, const std::vector<std::string>& readings,
                   const std::string& how) {
  const std::vector<std::string> lines = fileLines(kept);
  ASSERT_EQ(lines.size(), readings.size() + 1) << kept;
  const std::regex heading("unfinished set, " + std::to_string(readings.size()) + " readings, " +
                           how + ", kept [0-9:]{8} [0-9-]{10}");
  EXPECT_TRUE(std::regex_match(lines[0], heading)) << lines[0];
  for (std::size_t i = 0; i < readings.size(); ++i) {
    ASSERT_GE(lines[i + 1].size(), 41U) << lines[i + 1];
    EXPECT_EQ(lines[i + 1].substr(0, 41), readings[i].substr(0, 40) + " ");
    EXPECT_TRUE(std::regex_match(lines[i + 1].substr(41), kTimeAndDate)) << lines[i + 1];
  }
}

TEST_F(Continuity, AKilledRunIsTakenUpByResumeWithNoOneAtTheWindowAndNotAfterItsStopCommand) {
  Simulator first;
  startSimulator(first, simOptions(21), "first.log");
  ProgramProcess runner;
  startRunner(runner, {"--obs", "2", "--interval", "150", "--marker", "qX99", "--debug"});
  killInTheMiddleOfASet(runner, 6);
  if (HasFatalFailure()) return;
  const std::size_t killedSet = journalled();
  ASSERT_LT(killedSet, 16U);
  stopSimulator(first);

  const std::optional<RunSettings> run = remembered();
  ASSERT_TRUE(run) << "run.conf: " << readFile(user->runConf());
  EXPECT_TRUE(run->going) << "a kill leaves the run going";
  EXPECT_EQ(run->workDir, data.toStdString() + "/");
  EXPECT_EQ(run->port, 1);
  EXPECT_EQ(run->marker, "qX99");
  EXPECT_EQ(run->obs, "2");
  EXPECT_EQ(run->interval, "150");
  EXPECT_EQ(run->debug, 1);
  EXPECT_EQ(run->vistaFix, 1);

  // The program itself, as the autostart entry starts it: nobody presses
  // anything, and it ends by its own stop command after the two sets.
  Simulator second;
  startSimulator(second, simOptions(22, 2), "second.log");
  ProgramProcess resumed;
  ASSERT_TRUE(resumed.start(QStringLiteral(METERSTATION_PATH), {"--resume"}));
  ASSERT_TRUE(resumed.process.waitForFinished(3 * kSetWithinMs))
      << second.finishes(0).message() << leftBehind();
  EXPECT_EQ(resumed.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(resumed.process.exitCode(), 0) << resumed.errors();
  ASSERT_TRUE(second.finishes(10000));
  EXPECT_TRUE(QString::fromLatin1(second.process.readAllStandardOutput()).contains("count 0"));

  // The synchronising burst (a reading of meter 16) was thrown away: the
  // sets are exactly the processor's next thirty-two readings, under the
  // remembered marker, read with the remembered interval.
  const std::vector<std::string> readings = second.sent("reading");
  ASSERT_EQ(readings.size(), 32U);
  EXPECT_EQ(maskedLines(file("qn.db1")),
            (std::vector<std::string>{expectedLine("qX99", slice(readings, 0, 16)),
                                      expectedLine("qX99", slice(readings, 16, 16))}));
  EXPECT_FALSE(QFile::exists(data + "/rejects.txt"));

  // The killed set's readings, the first run's first ones, were kept apart.
  expectKeptSet(file("incomplete-sets.txt"), slice(first.sent("reading"), 0, killedSet),
                "run interrupted");
  EXPECT_EQ(journalled(), 0U);

  const std::optional<RunSettings> ended = remembered();
  ASSERT_TRUE(ended);
  EXPECT_FALSE(ended->going) << "the stop command ends the run";
  EXPECT_EQ(ended->debug, 1) << "debug stayed ticked to the end";
  EXPECT_EQ(ended->marker, "qX99");
  EXPECT_EQ(ended->obs, "0");

  // Started again, the station has nothing to take up.
  resumeHere();
  EXPECT_TRUE(station->list2Has("nothing to resume"));
  EXPECT_EQ(station->form.chosenPort(), 0);
  EXPECT_FALSE(station->serial.portOpen());
}

TEST_F(Continuity, TheResumedWindowHoldsTheRememberedControlsAndAClosedRunIsNotTakenUp) {
  Simulator first;
  startSimulator(first, simOptions(31), "first.log");
  ProgramProcess runner;
  startRunner(runner,
              {"--obs", "3", "--interval", "150", "--marker", "qX99", "--debug", "--no-vista-fix"});
  killInTheMiddleOfASet(runner, 3);
  if (HasFatalFailure()) return;
  const std::size_t killedSet = journalled();
  std::vector<std::string> killedReadings;
  for (const JournalEntry& entry : decodeJournal(file(kJournalFile)).entries) {
    killedReadings.push_back(entry.readingText);
  }
  stopSimulator(first);

  Simulator second;
  startSimulator(second, simOptions(32), "second.log");
  resumeHere();
  QtWindow& w = station->window;
  EXPECT_EQ(w.dirPath(), data.toStdString());
  EXPECT_EQ(w.textBox(TextId::Text1)->text(), "qX99");
  EXPECT_EQ(w.textBox(TextId::Text3)->text(), "3");
  EXPECT_EQ(w.textBox(TextId::Text4)->text(), "150");
  EXPECT_TRUE(w.checkBox(CheckId::Check1)->isChecked());
  EXPECT_FALSE(w.checkBox(CheckId::Check2)->isChecked());
  EXPECT_EQ(station->form.chosenPort(), 1);
  EXPECT_TRUE(station->serial.portOpen());
  EXPECT_TRUE(station->list2Has(std::to_string(killedSet) +
                                " readings of an unfinished set kept in incomplete-sets.txt"));
  expectKeptSet(file("incomplete-sets.txt"), killedReadings, "run interrupted");

  // The first burst only synchronises: the first reading taken is the
  // processor's first reading, not its synchronising burst; with vista fix
  // cleared it went through cp.txt. (This seed's first reading has an
  // eighth field of five digits, which the decimal parse keeps as it is.)
  ASSERT_TRUE(waitWithEvents([&] { return station->form.state().lineCount >= 2; }, kSetWithinMs));
  const std::vector<std::string> taken = station->items(ListId::List1);
  const std::vector<std::string> sent = second.sent("reading");
  ASSERT_GE(taken.size(), 3U);
  ASSERT_FALSE(sent.empty());
  ASSERT_GE(sent[0].substr(35, 5), "10000") << sent[0];
  EXPECT_EQ(taken[0], "sync ");
  EXPECT_EQ(taken[1], sent[0].substr(0, 40));
  EXPECT_NE(taken[1], second.sent("sync").at(0).substr(0, 40));
  EXPECT_TRUE(QFile::exists(data + "/cp.txt"));
  EXPECT_TRUE(station->list2Has(" comm:")) << "debug is ticked";

  // The operator closes the window: the run is over, and its set in
  // progress is kept as ended.
  const std::size_t inProgress = static_cast<std::size_t>(station->form.state().lineCount);
  w.close();
  ASSERT_TRUE(station->form.ended());
  station.reset();
  const std::optional<RunSettings> closed = remembered();
  ASSERT_TRUE(closed);
  EXPECT_FALSE(closed->going);
  const std::string kept = file("incomplete-sets.txt");
  const std::size_t secondBlock = kept.find("unfinished set, ", 1);
  ASSERT_NE(secondBlock, std::string::npos) << kept;
  EXPECT_NE(kept.find(", run ended, ", secondBlock), std::string::npos) << kept;
  EXPECT_EQ(fileLines(kept.substr(secondBlock)).size(), inProgress + 1);

  resumeHere();
  EXPECT_TRUE(station->list2Has("nothing to resume"));
  EXPECT_EQ(station->form.chosenPort(), 0);
  EXPECT_FALSE(station->serial.portOpen());
}

// A disk mounted late: the remembered directory appears 15 s after the
// start and is taken at the next look, 10 s apart.
TEST_F(Continuity, AWorkingDirectoryThatAppearsLaterIsTakenWhenItAppears) {
  const QString late = root + "/mnt/qN43";
  QtSettingsStore store(user->runConf());
  ASSERT_TRUE(store.save({late.toStdString() + "/", 1, "qN43", "1", "150", 0, 1, true}));
  Simulator sim;
  startSimulator(sim, simOptions(41, 1), "sim.log");

  resumeHere();
  const std::string waiting =
      "working directory " + late.toStdString() + "/ is not there yet; trying again every 10 s";
  EXPECT_TRUE(station->list2Has(waiting));
  waitWithEvents([] { return false; }, 15000);
  EXPECT_EQ(station->form.chosenPort(), 0);
  const std::vector<std::string> said = station->items(ListId::List2);
  EXPECT_EQ(std::count(said.begin(), said.end(), waiting), 1) << "said once, not at every look";

  ASSERT_TRUE(QDir().mkpath(late));
  ASSERT_TRUE(waitWithEvents([&] { return station->form.chosenPort() == 1; }, 15000));
  EXPECT_EQ(station->window.dirPath(), late.toStdString());
  ASSERT_TRUE(waitWithEvents([&] { return station->form.ended(); }, kSetWithinMs));
  const std::vector<std::string> readings = sim.sent("reading");
  ASSERT_EQ(readings.size(), 16U);
  EXPECT_EQ(maskedLines(readFile(late + "/qn.db1")),
            std::vector<std::string>{expectedLine("qN43", readings)});
}

// A database that cannot be written (a directory stands in its name): the
// sets' lines wait on disk when the station is killed, and the next start
// delivers them before its own, each once.
TEST_F(Continuity, LinesWaitingWhenTheStationWasKilledReachTheirFileOnceInOrder) {
  const QString database = data + "/qn.db1";
  ASSERT_TRUE(QDir().mkdir(database));
  Simulator first;
  startSimulator(first, simOptions(51), "first.log");
  ProgramProcess runner;
  startRunner(runner, {"--obs", "3", "--interval", "150"});
  const QString queue =
      user->dataDir() + "/waiting-" + QString::number(runner.process.processId()) + ".lines";
  auto waitingForDatabase = [&] {
    const WaitingLines lines = decodeWaitingLines(readFile(queue)).lines;
    const auto found = lines.find(database.toStdString());
    return found == lines.end() ? std::size_t{0} : found->second.size();
  };
  // Killed in the third set: the countdown of the second is remembered by
  // then, so the run resumed has one set left.
  ASSERT_TRUE(waitWithEvents(
      [&] { return (waitingForDatabase() >= 2 && journalled() >= 2) || !runner.running(); },
      3 * kSetWithinMs))
      << runner.errors();
  ASSERT_TRUE(runner.running()) << runner.errors();
  runner.killHard();
  ASSERT_EQ(waitingForDatabase(), 2U);
  stopSimulator(first);

  ASSERT_TRUE(QDir().rmdir(database));
  Simulator second;
  startSimulator(second, simOptions(52, 1), "second.log");
  ProgramProcess resumed;
  ASSERT_TRUE(resumed.start(QStringLiteral(METERSTATION_PATH), {"--resume"}));
  ASSERT_TRUE(resumed.process.waitForFinished(2 * kSetWithinMs))
      << second.finishes(0).message() << leftBehind();
  EXPECT_EQ(resumed.process.exitCode(), 0) << resumed.errors();

  const std::vector<std::string> before = first.sent("reading");
  const std::vector<std::string> after = second.sent("reading");
  EXPECT_EQ(maskedLines(readFile(database)),
            (std::vector<std::string>{expectedLine("qN42", slice(before, 0, 16)),
                                      expectedLine("qN42", slice(before, 16, 16)),
                                      expectedLine("qN42", slice(after, 0, 16))}));
  const QStringList left = QDir(user->dataDir()).entryList({"waiting-*.lines", "recovered-*"});
  EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
}

TEST_F(Continuity, ASecondStationOnTheSameWorkingDirectoryIsRefused) {
  Simulator sim;
  startSimulator(sim, simOptions(61), "sim.log");
  ProgramProcess runner;
  startRunner(runner, {"--obs", "5", "--interval", "150"});
  ASSERT_TRUE(waitWithEvents([&] { return journalled() >= 1 || !runner.running(); }, kSetWithinMs));
  ASSERT_TRUE(runner.running()) << runner.errors();
  const std::string runConf = readFile(user->runConf());

  station = std::make_unique<StationUnderTest>();
  QtWindow& w = station->window;
  w.setDirPath(data.toStdString());
  ASSERT_EQ(w.dirPath(), data.toStdString());
  QTest::mouseClick(w.button(ButtonId::Command1), Qt::LeftButton);
  EXPECT_TRUE(station->list2Has("working directory in use by another station: process " +
                                std::to_string(runner.process.processId())));
  EXPECT_EQ(station->form.chosenPort(), 0);
  EXPECT_FALSE(station->serial.portOpen());
  EXPECT_EQ(readFile(user->runConf()), runConf) << "the refused station remembers nothing";

  // The first station carries on undisturbed.
  const std::string journal = file(kJournalFile);
  EXPECT_TRUE(waitWithEvents([&] { return file(kJournalFile) != journal; }, kSetWithinMs));
  EXPECT_TRUE(runner.running());
}

// Every start locks a queue file name of its own in the user's data
// directory ("waiting-<pid>.lock"); a station that is gone, killed or ended
// cleanly, should leave none behind, or an unattended station that starts
// at every login gathers one file a start for good.
TEST_F(Continuity, StationsThatAreGoneLeaveNoLockFilesInTheDataDirectory) {
  qputenv("METERSTATION_COM1", (root + "/no-line").toLocal8Bit());
  for (int start = 0; start < 2; ++start) {
    ProgramProcess runner;
    startRunner(runner, {"--obs", "1"});
    const QString ownLock =
        user->dataDir() + "/waiting-" + QString::number(runner.process.processId()) + ".lock";
    ASSERT_TRUE(waitWithEvents([&] { return QFile::exists(ownLock); }, 10000));
    runner.killHard();
  }
  station = std::make_unique<StationUnderTest>();
  const QStringList locks = QDir(user->dataDir()).entryList({"waiting-*.lock"});
  EXPECT_LE(locks.size(), 1) << locks.join(' ').toStdString();
}

}  // namespace
}  // namespace meterstation::e2e
