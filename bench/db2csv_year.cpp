// db2csv converting the year's database, against a floor measured in the
// same run: the same CSV bytes made by a bare loop that trusts every line
// to be a good one and writes in pieces of a megabyte. What db2csv costs
// beyond it is its checking of every line and its general code.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/trends_bench.h"

using namespace meterstation::bench;

namespace {

constexpr std::size_t kPiece = 1 << 20;

bool readAll(const std::string& path, std::string& bytes) {
  const int fd = open(path.c_str(), O_RDONLY);
  struct stat status {};
  if (fd < 0 || fstat(fd, &status) != 0) return false;
  bytes.resize(static_cast<std::size_t>(status.st_size));
  std::size_t at = 0;
  ssize_t got = 0;
  while (at < bytes.size() && (got = read(fd, bytes.data() + at, bytes.size() - at)) > 0) {
    at += static_cast<std::size_t>(got);
  }
  close(fd);
  return at == bytes.size();
}

char* cell(char* at, const char* text, std::size_t length) {
  *at++ = '"';
  std::memcpy(at, text, length);
  at += length;
  *at++ = '"';
  return at;
}

// One good line's sixteen rows, its fields found by their commas, written
// straight into the output buffer.
char* rowsOf(const char* line, char* at) {
  char when[19];
  std::memcpy(when, line + 4, 4);
  when[4] = '-';
  std::memcpy(when + 5, line + 8, 2);
  when[7] = '-';
  std::memcpy(when + 8, line + 10, 2);
  when[10] = 'T';
  std::memcpy(when + 11, line + 12, 2);
  when[13] = ':';
  std::memcpy(when + 14, line + 14, 2);
  when[16] = ':';
  std::memcpy(when + 17, line + 16, 2);
  for (int k = 0; k < 16; ++k) {
    const char* slot = line + 19 + std::ptrdiff_t{41} * k;
    at = cell(at, line, 4);
    *at++ = ',';
    at = cell(at, when, 19);
    *at++ = ',';
    at = cell(at, slot, 2);
    const char* field = slot;
    for (int f = 0; f < 8; ++f) {
      const char* end = f < 7 ? static_cast<const char*>(std::memchr(field, ',', 40)) : slot + 40;
      *at++ = ',';
      at = cell(at, field, static_cast<std::size_t>(end - field));
      field = end + 1;
    }
    *at++ = '\r';
    *at++ = '\n';
  }
  return at;
}

// The floor. It reads whole lines at a time, pieces of 6000 lines, as the
// year holds only good lines of 678 bytes.
bool floorConvert(const std::string& in, const std::string& outPath) {
  const int input = open(in.c_str(), O_RDONLY);
  const int fd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (input < 0 || fd < 0) return false;
  const std::string header =
      "\"marker\",\"datetime\",\"meter\",\"field1\",\"field2\",\"field3\",\"field4\",\"field5\","
      "\"field6\",\"field7\",\"field8\"\r\n";
  // A line's rows are under 2 KB: room for one more past the piece.
  std::vector<char> out(kPiece + 4096);
  char* at = std::copy(header.begin(), header.end(), out.data());
  std::vector<char> lines(std::size_t{678} * 6000);
  bool ok = true;
  ssize_t got = 0;
  const auto flush = [&] {
    const auto size = static_cast<std::size_t>(at - out.data());
    ok = ok && write(fd, out.data(), size) == static_cast<ssize_t>(size);
    at = out.data();
  };
  while (ok && (got = read(input, lines.data(), lines.size())) > 0) {
    for (ssize_t from = 0; from + 678 <= got; from += 678) {
      at = rowsOf(lines.data() + from, at);
      if (at - out.data() >= static_cast<std::ptrdiff_t>(kPiece)) flush();
    }
  }
  flush();
  ok = ok && got == 0;
  close(input);
  return close(fd) == 0 && ok;
}

bool sameBytes(const std::string& a, const std::string& b) {
  std::string x;
  std::string y;
  return readAll(a, x) && readAll(b, y) && x == y;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string year = yearDatabasePath(argc, argv);
  if (year.empty()) return 1;
  const int runs =
      static_cast<int>(optionValue(argc, argv, "--runs", hasFlag(argc, argv, "--quick") ? 1 : 3));
  // In memory when there is such a place, so the disk's write-back does not
  // decide which of the two comes out faster.
  const std::string dir = std::filesystem::is_directory("/dev/shm")
                              ? std::string("/dev/shm")
                              : std::filesystem::path(year).parent_path().string();
  const std::string csv = dir + "/db2csv-year-" + std::to_string(getpid()) + ".csv";
  const std::string floorCsv = dir + "/db2csv-floor-" + std::to_string(getpid()) + ".csv";
  double best = 1e9;
  double bestUser = 0;
  double bestSystem = 0;
  double floorBest = 1e9;
  for (int i = 0; i < runs; ++i) {
    const long long start = monotonicNanos();
    if (!floorConvert(year, floorCsv)) return 1;
    floorBest = std::min(floorBest, static_cast<double>(monotonicNanos() - start) / 1e9);
    const ChildRun run = runTimed({DB2CSV, year, "-o", csv});
    if (run.status != 0) {
      std::fprintf(stderr, "db2csv_year: db2csv ended with status %d\n", run.status);
      return 1;
    }
    if (run.wallSeconds < best) {
      best = run.wallSeconds;
      bestUser = run.userSeconds;
      bestSystem = run.systemSeconds;
    }
  }
  const bool same = sameBytes(csv, floorCsv);
  std::filesystem::remove(csv);
  std::filesystem::remove(floorCsv);
  if (!same) {
    std::fprintf(stderr, "db2csv_year: db2csv and the floor wrote different bytes\n");
    return 1;
  }
  const double ratio = best / floorBest;
  char value[160];
  std::snprintf(value, sizeof value,
                "%.2f x (%.2f s, %.2f s user %.2f s kernel, against %.2f s; best of %d)", ratio,
                best, bestUser, bestSystem, floorBest, runs);
  printRow("db2csv: the year (9.1 million rows) over the bare-loop floor", value, "<= 1.5 x",
           ratio <= 1.5);
  return 0;
}
