#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/scratch_dir.h"
#include "support/wait_until.h"

// Helpers for running the real processor-sim binary in tests.

using namespace std::chrono_literals;

// Generous: the tests wait, they never time anything.
inline constexpr auto kPatience = 15s;

using meterstation::testsupport::ScratchDir;

inline std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

template <typename Condition>
bool eventually(Condition condition) {
  return meterstation::testsupport::waitUntil(condition, kPatience);
}

class SimProcess {
 public:
  SimProcess(const std::vector<std::string>& args, const ScratchDir& dir)
      : stdoutPath_(dir / "stdout"), stderrPath_(dir / "stderr") {
    std::vector<std::string> all = {PROCESSOR_SIM_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;
  ~SimProcess() {
    if (pid_ > 0 && !status_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  bool started() const { return pid_ > 0; }
  void sendSignal(int number) { kill(pid_, number); }

  // The wait status once the process has ended, nullopt if it does not.
  std::optional<int> waitForExit() {
    eventually([this] {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
      return status_.has_value();
    });
    return status_;
  }

  std::string out() const { return readWholeFile(stdoutPath_); }
  std::string err() const { return readWholeFile(stderrPath_); }

 private:
  std::string stdoutPath_;
  std::string stderrPath_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

inline void makeRaw(int fd) {
  termios settings{};
  tcgetattr(fd, &settings);
  cfmakeraw(&settings);
  tcsetattr(fd, TCSANOW, &settings);
}

// Opens the terminal the way the station does, once the path is there.
inline int openStationSide(const std::string& path) {
  int fd = -1;
  eventually([&] {
    fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    return fd >= 0;
  });
  if (fd >= 0) makeRaw(fd);
  return fd;
}

// Cuts what arrives on a terminal into lines ending in CR LF.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}

  // The next line with its CR LF; nullopt when the line drops or nothing
  // comes within the patience.
  std::optional<std::string> next() {
    const auto giveUp = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
      if (const std::size_t end = buffer_.find("\r\n"); end != std::string::npos) {
        std::string line = buffer_.substr(0, end + 2);
        buffer_.erase(0, end + 2);
        return line;
      }
      if (std::chrono::steady_clock::now() > giveUp) return std::nullopt;
      pollfd watched{fd_, POLLIN, 0};
      if (poll(&watched, 1, 100) <= 0) continue;
      char chunk[512];
      const ssize_t count = read(fd_, chunk, sizeof chunk);
      if (count > 0) {
        buffer_.append(chunk, static_cast<std::size_t>(count));
      } else if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
        hungUp_ = true;
        return std::nullopt;
      }
    }
  }

  bool hungUp() const { return hungUp_; }

 private:
  int fd_;
  std::string buffer_;
  bool hungUp_ = false;
};

inline std::string stopCommand(unsigned char count) {
  return std::string("AT TESSARO:") + static_cast<char>(count) + "\r\n";
}

inline bool writeAll(int fd, const std::string& bytes) {
  return write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

inline bool pathExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_symlink(path, ignored) || std::filesystem::exists(path, ignored);
}

inline std::string linkTarget(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::read_symlink(path, ignored).string();
}

// Lines of the log whose kind (the word after the time) is the given one.
inline int countLogLines(const std::string& log, const std::string& kind) {
  std::istringstream lines(log);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    const std::size_t space = line.find(' ');
    if (space != std::string::npos && line.compare(space + 1, kind.size() + 1, kind + " ") == 0)
      ++count;
  }
  return count;
}
