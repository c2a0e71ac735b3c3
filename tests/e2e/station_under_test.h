#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/station_app.h"
#include "platform/qt/station_list_view.h"
#include "support/event_loop_wait.h"

namespace meterstation::e2e {

using testsupport::waitWithEvents;

// The real station, wired as the program wires it.
struct StationUnderTest : StationApp {
  explicit StationUnderTest(FileSystemCalls calls = FileSystemCalls::real())
      : StationApp(std::move(calls)) {
    start();
  }

  std::vector<std::string> items(ListId id) const {
    std::vector<std::string> out;
    const StationListView* view = window.list(id);
    for (std::size_t i = 0; i < view->count(); ++i) out.push_back(view->item(i));
    return out;
  }
  bool list2Has(const std::string& prefix) const {
    for (const std::string& item : items(ListId::List2)) {
      if (item.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }
};

// processor-sim on its own pseudo-terminal, published as a symlink.
struct Simulator {
  QProcess process;
  QString link;
  QString log;

  // The line is always "<dir>/com1", so that a station remembering it finds
  // the next simulator there; each simulator of a test keeps its own log.
  bool start(const QString& dir, const QStringList& options,
             const QString& logName = QStringLiteral("sim.log")) {
    link = dir + "/com1";
    log = dir + "/" + logName;
    QStringList args = {"--link", link, "--log", log};
    args += options;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral(PROCESSOR_SIM_PATH), args);
    if (!process.waitForStarted(5000)) return false;
    return waitWithEvents([&] { return QFile::exists(link); }, 5000);
  }
  ~Simulator() {
    if (process.state() != QProcess::NotRunning) {
      process.terminate();
      if (!process.waitForFinished(3000)) process.kill();
      process.waitForFinished(1000);
    }
  }

  // The texts of the bursts of one kind, in the order they were sent, with
  // the log's escapes undone.
  std::vector<std::string> sent(const std::string& kind) const;

  // Waits for the processor to end on its own; when it does not, the
  // failure shows the end of its log and what it said on standard error.
  ::testing::AssertionResult finishes(int timeoutMs);
};

std::string readFile(const QString& path);

// The configuration, data, cache and home directories of the user, moved into a
// directory of the test's own for its lifetime, for this process and the
// programs it starts; and the application named as the program names
// itself, so that both find the same run.conf and waiting lines.
class IsolatedUser {
 public:
  explicit IsolatedUser(const QString& root);
  ~IsolatedUser();
  IsolatedUser(const IsolatedUser&) = delete;
  IsolatedUser& operator=(const IsolatedUser&) = delete;

  QString runConf() const { return config + "/meterstation/run.conf"; }
  QString dataDir() const { return data + "/meterstation"; }

  QString config;
  QString data;
  QString home;
  QString cache;

 private:
  struct Saved {
    const char* name;
    bool set;
    QByteArray value;
  };
  std::vector<Saved> saved_;
  QString oldName_;
};

// A program of the project (the station, station-runner) in a process of
// its own, with this process's environment.
struct ProgramProcess {
  QProcess process;

  bool start(const QString& program, const QStringList& args) {
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, args);
    return process.waitForStarted(5000);
  }
  // SIGKILL, as a crash or a power cut ends it: no handler runs.
  void killHard() {
    process.kill();
    process.waitForFinished(5000);
  }
  bool running() const { return process.state() != QProcess::NotRunning; }
  std::string errors() { return process.readAllStandardError().toStdString(); }
  ~ProgramProcess() {
    if (running()) killHard();
  }
};

// A test of the real station in a directory of its own: its data
// directory "<root>/qN42", the user's configuration, data and home moved
// into the root, and the root as the directory the program was started in,
// where the directory list starts.
class StationDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp.isValid());
    root = tmp.path();
    data = root + "/qN42";
    ASSERT_TRUE(QDir().mkpath(data));
    user = std::make_unique<IsolatedUser>(root);
    previousDir = QDir::currentPath();
    QDir::setCurrent(root);
  }
  void TearDown() override {
    station.reset();
    user.reset();
    QDir::setCurrent(previousDir);
    qunsetenv("METERSTATION_COM1");
  }

  // The station finds the simulator's line as an operator's port 1.
  void startSimulator(Simulator& sim, const QStringList& options,
                      const QString& logName = QStringLiteral("sim.log")) {
    ASSERT_TRUE(sim.start(root, options, logName)) << "processor-sim did not start";
    qputenv("METERSTATION_COM1", sim.link.toLocal8Bit());
  }

  std::string file(const char* name) const { return readFile(data + "/" + name); }

  QTemporaryDir tmp;
  QString root;
  QString data;
  QString previousDir;
  std::unique_ptr<IsolatedUser> user;
  std::unique_ptr<StationUnderTest> station;
};

}  // namespace meterstation::e2e
