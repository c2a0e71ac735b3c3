#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/wait_until.h"

extern char** environ;

namespace meterstation::reliability {

// A program started with extra environment entries, killed and reaped by
// its owner (SIGTERM at the latest when the owner goes).
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() { stop(SIGTERM); }

  bool start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    for (const std::string& e : extraEnv) env.push_back(e);
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    return ::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), envp.data()) == 0;
  }

  // Sends the signal and waits for the end; returns the wait status.
  int stop(int signal) {
    if (pid_ <= 0) return status_;
    ::kill(pid_, signal);
    if (testsupport::waitUntil([this] { return reaped(); }, std::chrono::seconds(3)))
      return status_;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status_, 0);
    pid_ = -1;
    return status_;
  }

  bool running() { return pid_ > 0 && !reaped(); }
  int status() const { return status_; }

 private:
  bool reaped() {
    if (::waitpid(pid_, &status_, WNOHANG) != pid_) return false;
    pid_ = -1;
    return true;
  }

  pid_t pid_ = -1;
  int status_ = 0;
};

}  // namespace meterstation::reliability
