#include "bench/station_rig.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

namespace meterstation::bench {

double millisBetween(SteadyClock::time_point from, SteadyClock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

void TimedEvents::Timer1_Timer() {
  const auto start = SteadyClock::now();
  {
    std::lock_guard<std::mutex> lock(tickMutex);
    tickStarts.push_back(start);
  }
  inner_.Timer1_Timer();
  longestHandlerMs = std::max(longestHandlerMs, millisBetween(start, SteadyClock::now()));
  // Counted only once the handler has taken the input, so a writer waiting
  // on it never sends into the reading being processed.
  ticks.fetch_add(1);
}

void TimedEvents::timed(void (StationEvents::*handler)()) {
  const auto start = SteadyClock::now();
  (inner_.*handler)();
  longestHandlerMs = std::max(longestHandlerMs, millisBetween(start, SteadyClock::now()));
}

std::string RecordingPort::input() {
  std::string text = inner_.input();
  inputs.push_back(text);
  return text;
}

PtyWriter::PtyWriter() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) return;
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
    close(master_);
    master_ = -1;
    return;
  }
  slave_ = ptsname(master_);
  // Raw from the start: bytes written before the station sets the line up
  // must not be echoed back or cooked.
  const int slave = open(slave_.c_str(), O_RDWR | O_NOCTTY);
  if (slave >= 0) {
    termios settings{};
    if (tcgetattr(slave, &settings) == 0) {
      cfmakeraw(&settings);
      tcsetattr(slave, TCSANOW, &settings);
    }
    close(slave);
  }
}

PtyWriter::~PtyWriter() {
  if (master_ >= 0) close(master_);
}

SteadyClock::time_point PtyWriter::write(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(master_, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  return SteadyClock::now();
}

StationRig::StationRig(int intervalMs) {
  window.bind(events);
  serial.bind(events);
  timer.bind(events);
  events.Form_Load();
  window.setText(TextId::Text4, std::to_string(intervalMs));
  // Far more sets than any run takes: the station must not stop itself.
  window.setText(TextId::Text3, "1000000");
  window.show();

  char pattern[] = "/tmp/meterstation-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    error_ = std::string("cannot make a working directory: ") + std::strerror(errno);
    return;
  }
  workDir = pattern;
  if (!pty.ok()) {
    error_ = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
    return;
  }
  setenv("METERSTATION_COM1", pty.slaveName().c_str(), 1);
  ready_ = true;
}

StationRig::~StationRig() {
  if (!workDir.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(workDir, ignored);
  }
}

bool StationRig::start() {
  if (!ready_) return false;
  window.setDirPath(workDir);
  events.Command1_Click();
  if (!serial.portOpen()) {
    error_ = "the station did not open " + pty.slaveName();
    return false;
  }
  return true;
}

std::string readingOf(int meter, int value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d,%03d,04567,12345,089,00012,00345,%05d\r\n", meter,
                value % 1000, value % 100000);
  return buf;
}

bool waitForTicks(const StationRig& rig, int target, int timeoutMs) {
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
  while (rig.events.ticks.load() < target) {
    if (SteadyClock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

void sleepMillis(double ms) {
  std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms));
}

CpuBurners::CpuBurners(int count) {
  for (int i = 0; i < count; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      volatile unsigned long spin = 0;
      for (;;) spin = spin + 1;
    }
    if (pid > 0) pids_.push_back(pid);
  }
}

CpuBurners::~CpuBurners() {
  for (const int pid : pids_) kill(pid, SIGKILL);
  for (const int pid : pids_) waitpid(pid, nullptr, 0);
}

void printRow(const std::string& figure, const std::string& value, const std::string& goal,
              bool met) {
  std::printf("ROW|%s|%s|%s|%s\n", figure.c_str(), value.c_str(), goal.c_str(),
              met ? "met" : "NOT MET");
  std::fflush(stdout);
}

long optionValue(int argc, char** argv, const std::string& name, long fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (name == argv[i]) return std::strtol(argv[i + 1], nullptr, 10);
  }
  return fallback;
}

bool hasFlag(int argc, char** argv, const std::string& name) {
  for (int i = 1; i < argc; ++i) {
    if (name == argv[i]) return true;
  }
  return false;
}

double quantile(std::vector<double>& values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

}  // namespace meterstation::bench
