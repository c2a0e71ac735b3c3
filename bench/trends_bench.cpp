#include "bench/trends_bench.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/year_database.h"

extern char** environ;

namespace meterstation::bench {

namespace {

std::vector<char*> argvOf(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return argv;
}

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

}  // namespace

long long monotonicNanos() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

double peakResidentBytes() {
  double kb = 0;
  if (FILE* status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
      if (std::strncmp(line, "VmHWM:", 6) == 0) kb = std::atof(line + 6);
    }
    std::fclose(status);
  }
  return kb * 1024;
}

std::string yearDatabasePath(int argc, char** argv) {
  std::string dir = ".";
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--data") dir = argv[i + 1];
  }
  const std::string path = dir + "/year.db1";
  if (!ensureYearDatabase(path, kYearSets)) {
    std::perror(path.c_str());
    return {};
  }
  return path;
}

std::string runAndRead(const std::vector<std::string>& args) {
  std::vector<std::string> copy = args;
  std::vector<char*> argv = argvOf(copy);
  int ends[2];
  if (pipe(ends) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, ends[0]);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  std::string out;
  char buffer[4096];
  ssize_t got = 0;
  while (spawned == 0 && (got = read(ends[0], buffer, sizeof buffer)) > 0) {
    out.append(buffer, static_cast<std::size_t>(got));
  }
  close(ends[0]);
  if (spawned == 0) waitpid(pid, nullptr, 0);
  return out;
}

ChildRun runTimed(const std::vector<std::string>& args, const std::string& outPath) {
  std::vector<std::string> copy = args;
  std::vector<char*> argv = argvOf(copy);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO,
                                   outPath.empty() ? "/dev/null" : outPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ChildRun run;
  const long long start = monotonicNanos();
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return run;
  run.wallSeconds = static_cast<double>(monotonicNanos() - start) / 1e9;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.userSeconds = seconds(usage.ru_utime);
  run.systemSeconds = seconds(usage.ru_stime);
  run.peakMb = static_cast<double>(usage.ru_maxrss) / 1024;
  return run;
}

}  // namespace meterstation::bench
