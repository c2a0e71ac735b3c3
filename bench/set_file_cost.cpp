// A completed set written by DurableFiles against the floor: the same
// system calls with the same bytes issued by a bare loop. Whatever lies
// above the floor is the price of the checks that keep files whole.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/bench_report.h"
#include "bench/benchmark_rows.h"
#include "platform/posix/durable_files.h"

namespace {

// The files of one set and their sizes as the station writes them: the
// 676-character database line and sixteen lines in each snapshot.
struct SetBytes {
  std::string database = std::string(676, 'd') + "\r\n";
  std::string snapshot = repeated(std::string(18, 's') + "\r\n", 16) + "\r\n";
  std::string usage = repeated(std::string(18, 'u') + "\r\n", 16);
  std::string times = repeated(std::string(19, 't') + "\r\n", 16) + "\r\n";

  static std::string repeated(const std::string& line, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += line;
    return out;
  }
};

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/var/tmp/meterstation-setbench-XXXXXX";
    if (mkdtemp(pattern) != nullptr) path = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

void durableSet(benchmark::State& state) {
  TempDir dir;
  const SetBytes bytes;
  meterstation::DurableFiles files;
  const std::string d = dir.path + "/";
  bool ok = !dir.path.empty();
  for (auto _ : state) {
    ok = files.append(d + "qn.db1", bytes.database).ok && ok;
    ok = files.replace(d + "ct.tsr", bytes.snapshot).ok && ok;
    ok = files.append(d + "usage.tsr", bytes.usage).ok && ok;
    ok = files.replace(d + "quell2.tsr", bytes.times).ok && ok;
  }
  if (!ok) state.SkipWithError("a set file could not be written");
}
BENCHMARK(durableSet)->UseRealTime();

void appendFloor(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  (void)!::write(fd, bytes.data(), bytes.size());
  ::fdatasync(fd);
  ::close(fd);
}

void replaceFloor(const std::string& dir, const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  (void)!::write(fd, bytes.data(), bytes.size());
  ::fdatasync(fd);
  ::close(fd);
  ::rename(temporary.c_str(), path.c_str());
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ::fsync(dirFd);
  ::close(dirFd);
}

void floorSet(benchmark::State& state) {
  TempDir dir;
  const SetBytes bytes;
  const std::string d = dir.path + "/";
  if (dir.path.empty()) state.SkipWithError("no temporary directory");
  for (auto _ : state) {
    appendFloor(d + "qn.db1", bytes.database);
    replaceFloor(dir.path, d + "ct.tsr", bytes.snapshot);
    appendFloor(d + "usage.tsr", bytes.usage);
    replaceFloor(dir.path, d + "quell2.tsr", bytes.times);
  }
}
BENCHMARK(floorSet)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  meterstation::bench::RecordingReporter reporter;
  meterstation::bench::runBenchmarks(argc, argv, reporter);

  const double durable = reporter.of("durableSet/real_time");
  const double floor = reporter.of("floorSet/real_time");
  const double ratio = floor > 0 ? durable / floor : 0;
  char value[96];
  std::snprintf(value, sizeof value, "%.2f x (%.2f ms against %.2f ms)", ratio, durable / 1e6,
                floor / 1e6);
  meterstation::bench::printRow("cost per set on real files, over the bare-call floor", value,
                                "<= 1.2 x", ratio > 0 && ratio <= 1.2);
  return 0;
}
