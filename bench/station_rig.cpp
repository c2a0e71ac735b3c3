#include "bench/station_rig.h"

#include "bench/real_time.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace meterstation::bench {

double residentBytes() {
  long pages = 0;
  long resident = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

double anonymousBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("RssAnon:", 0) == 0) return std::atof(line.c_str() + 8) * 1024;
  }
  return 0;
}

double millisBetween(SteadyClock::time_point from, SteadyClock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

Result TimedFiles::replace(const std::string& path, const std::string& bytes) {
  return timed([&] { return inner_.replace(path, bytes); });
}
Result TimedFiles::append(const std::string& path, const std::string& bytes) {
  return timed([&] { return inner_.append(path, bytes); });
}
ReadResult TimedFiles::read(const std::string& path) {
  return timed([&] { return inner_.read(path); });
}
ReadResult TimedFiles::readRange(const std::string& path, std::uint64_t offset,
                                 std::uint64_t length) {
  return timed([&] { return inner_.readRange(path, offset, length); });
}
bool TimedFiles::exists(const std::string& path) {
  return timed([&] { return inner_.exists(path); });
}
Result TimedFiles::writeAt(const std::string& path, std::uint64_t offset,
                           const std::string& bytes) {
  return timed([&] { return inner_.writeAt(path, offset, bytes); });
}
Result TimedFiles::truncate(const std::string& path, std::uint64_t size) {
  return timed([&] { return inner_.truncate(path, size); });
}
std::optional<std::uint64_t> TimedFiles::size(const std::string& path) {
  return timed([&] { return inner_.size(path); });
}
Result TimedFiles::remove(const std::string& path) {
  return timed([&] { return inner_.remove(path); });
}
std::vector<std::string> TimedFiles::list(const std::string& dir) {
  return timed([&] { return inner_.list(dir); });
}
bool TimedFiles::isDirectory(const std::string& path) {
  return timed([&] { return inner_.isDirectory(path); });
}

void TimedEvents::Timer1_Timer() {
  const auto start = SteadyClock::now();
  const double filesBefore = filesMs();
  {
    std::lock_guard<std::mutex> lock(tickMutex);
    tickStarts.push_back(start);
  }
  inner_.Timer1_Timer();
  note("Timer1_Timer", start, filesBefore);
  // Counted only once the handler has taken the input, so a writer waiting
  // on it never sends into the reading being processed.
  ticks.fetch_add(1);
}

void TimedEvents::MSComm1_OnComm() {
  {
    std::lock_guard<std::mutex> lock(tickMutex);
    commStarts.push_back(SteadyClock::now());
  }
  timed(&StationEvents::MSComm1_OnComm, "MSComm1_OnComm");
}

void TimedEvents::timed(void (StationEvents::*handler)(), const char* name) {
  const auto start = SteadyClock::now();
  const double filesBefore = filesMs();
  (inner_.*handler)();
  note(name, start, filesBefore);
}

void TimedEvents::note(const char* name, SteadyClock::time_point start, double filesMsBefore) {
  const double ms = millisBetween(start, SteadyClock::now());
  if (ms <= longestHandlerMs) return;
  longestHandlerMs = ms;
  longestHandler = name;
  longestHandlerFilesMs = filesMs() - filesMsBefore;
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

SimRelay::SimRelay(const std::string& simPath, const std::vector<std::string>& simArguments,
                   const std::string& linkDir, PtyWriter& into)
    : into_(into) {
  const std::string link = linkDir + "/processor-sim-line";
  std::vector<std::string> words = {simPath, "--link", link, "--quiet"};
  words.insert(words.end(), simArguments.begin(), simArguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  raiseSpawned(attributes);
  raised_ = posix_spawn(&pid, simPath.c_str(), nullptr, &attributes, argv.data(), environ) == 0;
  posix_spawnattr_destroy(&attributes);
  // Not permitted: at the ordinary priority then, and the bench says so.
  if (!raised_ && posix_spawn(&pid, simPath.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    error_ = "cannot start " + simPath;
    return;
  }
  simPid_ = pid;
  // The link appears once the simulator has its pseudo-terminal.
  const auto deadline = SteadyClock::now() + std::chrono::seconds(10);
  while (line_ < 0 && SteadyClock::now() < deadline) {
    line_ = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (line_ < 0) sleepMillis(5);
  }
  if (line_ < 0) {
    error_ = "processor-sim did not publish " + link;
    return;
  }
  termios settings{};
  if (tcgetattr(line_, &settings) == 0) {
    cfmakeraw(&settings);
    tcsetattr(line_, TCSANOW, &settings);
  }
  thread_ = std::thread([this] { pass(); });
  raised_ = raiseThread(thread_.native_handle()) && raised_;
}

SimRelay::~SimRelay() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (line_ >= 0) ::close(line_);
  if (simPid_ > 0) {
    kill(simPid_, SIGTERM);
    waitpid(simPid_, nullptr, 0);
  }
}

void SimRelay::pass() {
  char buffer[256];
  while (!stop_) {
    pollfd ready{line_, POLLIN, 0};
    if (poll(&ready, 1, 50) <= 0) continue;
    const ssize_t got = ::read(line_, buffer, sizeof buffer);
    if (got <= 0) {
      if (got < 0 && errno == EINTR) continue;
      sleepMillis(5);
      continue;
    }
    const auto passed = SteadyClock::now();
    into_.write(std::string(buffer, static_cast<std::size_t>(got)));
    std::lock_guard<std::mutex> lock(mutex_);
    passings_.push_back(passed);
  }
}

std::vector<SteadyClock::time_point> SimRelay::passings() {
  std::lock_guard<std::mutex> lock(mutex_);
  return passings_;
}

StationRig::StationRig(int intervalMs, FileSystemCalls calls) : files(std::move(calls)) {
  window.bind(events);
  serial.bind(events);
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

}  // namespace meterstation::bench
