#pragma once

#include "bench/bench_report.h"

#include <QApplication>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/durable_files.h"
#include "platform/posix/local_clock.h"
#include "platform/qt/qt_host.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_timer.h"
#include "platform/qt/qt_window.h"
#include "platform/settings_store.h"
#include "station/form1.h"

namespace meterstation::bench {

using SteadyClock = std::chrono::steady_clock;

double millisBetween(SteadyClock::time_point from, SteadyClock::time_point to);

// Resident memory of this process in bytes, from /proc/self/statm, and the
// anonymous part of it (RssAnon of /proc/self/status), which only the
// process's own memory fills.
double residentBytes();
double anonymousBytes();

// Passes everything to the real files and adds up the time spent in them,
// so a long handler can be told apart from a slow disk.
class TimedFiles : public Files {
 public:
  explicit TimedFiles(Files& inner) : inner_(inner) {}

  Result replace(const std::string& path, const std::string& bytes) override;
  Result append(const std::string& path, const std::string& bytes) override;
  ReadResult read(const std::string& path) override;
  ReadResult readRange(const std::string& path, std::uint64_t offset,
                       std::uint64_t length) override;
  bool exists(const std::string& path) override;
  Result writeAt(const std::string& path, std::uint64_t offset, const std::string& bytes) override;
  Result truncate(const std::string& path, std::uint64_t size) override;
  std::optional<std::uint64_t> size(const std::string& path) override;
  Result remove(const std::string& path) override;
  std::vector<std::string> list(const std::string& dir) override;
  bool isDirectory(const std::string& path) override;

  // Milliseconds spent in the files since the start.
  double totalMs = 0;

 private:
  template <typename Call>
  auto timed(Call call) {
    const auto start = SteadyClock::now();
    auto result = call();
    totalMs += millisBetween(start, SteadyClock::now());
    return result;
  }

  Files& inner_;
};

class NoSettings : public SettingsStore {
 public:
  Result save(const RunSettings&) override { return Result::success(); }
  std::optional<RunSettings> load() override { return std::nullopt; }
};

// Stands between the adapters and Form1: notes when each tick starts before
// the station sees it, and how long the longest handler call kept the event
// thread busy.
class TimedEvents : public StationEvents {
 public:
  explicit TimedEvents(StationEvents& inner, const TimedFiles* files = nullptr)
      : inner_(inner), files_(files) {}

  void Form_Load() override { timed(&StationEvents::Form_Load, "Form_Load"); }
  void Form_Unload() override { timed(&StationEvents::Form_Unload, "Form_Unload"); }
  void Drive1_Change() override { timed(&StationEvents::Drive1_Change, "Drive1_Change"); }
  void Dir1_Change() override { timed(&StationEvents::Dir1_Change, "Dir1_Change"); }
  void Dir1_ReadError() override { timed(&StationEvents::Dir1_ReadError, "Dir1_ReadError"); }
  void Command1_Click() override { timed(&StationEvents::Command1_Click, "Command1_Click"); }
  void Command2_Click() override { timed(&StationEvents::Command2_Click, "Command2_Click"); }
  void Command3_Click() override { timed(&StationEvents::Command3_Click, "Command3_Click"); }
  void Command4_Click() override { timed(&StationEvents::Command4_Click, "Command4_Click"); }
  void Command5_Click() override { timed(&StationEvents::Command5_Click, "Command5_Click"); }
  void Command6_Click() override { timed(&StationEvents::Command6_Click, "Command6_Click"); }
  void MSComm1_OnComm() override;
  void Timer1_Timer() override;
  void Controls_Change() override { timed(&StationEvents::Controls_Change, "Controls_Change"); }
  void Timer2_Timer() override { timed(&StationEvents::Timer2_Timer, "Timer2_Timer"); }
  void Session_End() override { timed(&StationEvents::Session_End, "Session_End"); }

  // Start of every tick, in order; read only once the writer has finished
  // or under tickMutex.
  std::vector<SteadyClock::time_point> tickStarts;
  // Start of every port notification, when the station restarts its
  // countdown; it comes only after the bytes that raised it.
  std::vector<SteadyClock::time_point> commStarts;
  std::mutex tickMutex;
  std::atomic<int> ticks{0};
  double longestHandlerMs = 0;
  // Which handler that was, and how much of it went to the files.
  std::string longestHandler;
  double longestHandlerFilesMs = 0;

 private:
  void timed(void (StationEvents::*handler)(), const char* name);
  void note(const char* name, SteadyClock::time_point start, double filesMsBefore);
  double filesMs() const { return files_ != nullptr ? files_->totalMs : 0; }

  StationEvents& inner_;
  const TimedFiles* files_;
};

// Passes everything to the real port and keeps what each input() returned,
// so a bench can tell a merged or split reading from a clean one.
class RecordingPort : public SerialPort {
 public:
  explicit RecordingPort(SerialPort& inner) : inner_(inner) {}

  void setCommPort(int port) override { inner_.setCommPort(port); }
  int commPort() const override { return inner_.commPort(); }
  void setSettings(const std::string& settings) override { inner_.setSettings(settings); }
  std::string settings() const override { return inner_.settings(); }
  bool portOpen() const override { return inner_.portOpen(); }
  Result setPortOpen(bool open) override { return inner_.setPortOpen(open); }
  void retryOpenUntilBack() override { inner_.retryOpenUntilBack(); }
  int reopenPeriodMs() const override { return inner_.reopenPeriodMs(); }
  std::string input() override;
  Result output(const std::string& bytes) override { return inner_.output(bytes); }
  CommEvent commEvent() const override { return inner_.commEvent(); }
  std::string commEventText() const override { return inner_.commEventText(); }
  int commEventRetryMs() const override { return inner_.commEventRetryMs(); }

  std::vector<std::string> inputs;

 private:
  SerialPort& inner_;
};

// The master side of a pseudo-terminal whose slave the station opens as COM1.
class PtyWriter {
 public:
  PtyWriter();
  ~PtyWriter();
  PtyWriter(const PtyWriter&) = delete;
  PtyWriter& operator=(const PtyWriter&) = delete;

  bool ok() const { return master_ >= 0; }
  const std::string& slaveName() const { return slave_; }
  // Writes the whole text; returns the moment the last byte was handed over.
  SteadyClock::time_point write(const std::string& text);

 private:
  int master_ = -1;
  std::string slave_;
};

// processor-sim on a pseudo-terminal of its own, its bytes passed on to the
// station's pseudo-terminal the moment they come, each passing timed. The
// simulator keeps its own pacing and readings; the relay only adds the
// clock a bench needs.
class SimRelay {
 public:
  SimRelay(const std::string& simPath, const std::vector<std::string>& simArguments,
           const std::string& linkDir, PtyWriter& into);
  ~SimRelay();
  SimRelay(const SimRelay&) = delete;
  SimRelay& operator=(const SimRelay&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  // Whether the simulator and the relay run at the real-time priority.
  bool raised() const { return raised_; }
  // When each piece was handed to the station, in order: taken just before
  // the write, as the station may run before the writer gets to look at the
  // clock again.
  std::vector<SteadyClock::time_point> passings();

 private:
  void pass();

  PtyWriter& into_;
  int simPid_ = -1;
  int line_ = -1;
  bool raised_ = false;
  std::string error_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<SteadyClock::time_point> passings_;
  std::thread thread_;
};

// The real station, wired as the program wires it but through the two
// proxies, on its own pseudo-terminal and temporary working directory.
class StationRig {
 public:
  // The files' system calls may be slowed, as on a slow disk.
  explicit StationRig(int intervalMs, FileSystemCalls calls = FileSystemCalls::real());
  ~StationRig();

  bool ready() const { return ready_; }
  const std::string& error() const { return error_; }
  // The operator opens the working directory and presses Com1.
  bool start();

  PtyWriter pty;
  QtWindow window;
  QtSerialPort serial;
  RecordingPort recording{serial};
  QtTimer retryTimer;
  LocalClock clock;
  DurableFiles files;
  TimedFiles timedFiles{files};
  QtHost host;
  // The bench's runs are no operator's: they are not remembered.
  NoSettings settings;
  Form1 form{window, recording, serial.quietTimer(), retryTimer, clock, timedFiles, host, settings};
  TimedEvents events{form, &timedFiles};
  std::string workDir;

 private:
  bool ready_ = false;
  std::string error_;
};

// The processor's reading of a meter: 40 characters and CR LF.
std::string readingOf(int meter, int value);

// Blocks until the tick count reaches the target or the time is up.
bool waitForTicks(const StationRig& rig, int target, int timeoutMs);

void sleepMillis(double ms);

// Processes that spin on a core each, killed when the guard goes.
class CpuBurners {
 public:
  explicit CpuBurners(int count);
  ~CpuBurners();
  CpuBurners(const CpuBurners&) = delete;
  CpuBurners& operator=(const CpuBurners&) = delete;

 private:
  std::vector<int> pids_;
};

}  // namespace meterstation::bench
